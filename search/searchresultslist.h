// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractItemView>

class Delegate;
struct Finding;
class SearchResultsModel;

// The list of find-all rows: a header, one row per match, a summary. It shows its own model and
// places rows by arithmetic (result and summary rows one text line high, headers two), so that
// millions of rows cost no layout.
class SearchResultsList : public QAbstractItemView
{
    Q_OBJECT

public:
    enum LineType : qint32 { HeaderLine = 0, ResultLine = 1, SummaryLine = 2 };
    Q_ENUM(LineType)

    enum Role {
        ColumnRole = Qt::UserRole + 1,
        LengthRole = Qt::UserRole + 2,
        LineTypeRole = Qt::UserRole + 3,
        LineNumberRole = Qt::UserRole + 4,
        FieldIdRole = Qt::UserRole + 5,
        PositionRole = Qt::UserRole + 6,
    };

    explicit SearchResultsList(QWidget *parent = nullptr);

    SearchResultsModel *resultsModel() const { return rows; }
    int count() const;
    QModelIndex index(int row) const;

    QRect visualRect(const QModelIndex &index) const override;
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint &point) const override;
    // A type-ahead would read every row.
    void keyboardSearch(const QString &) override {}

signals:
    // A result row was double-clicked: its panel should select the match.
    void goToRequested(const Finding &finding);

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex &index) const override;
    void setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection &selection) const override;
    void paintEvent(QPaintEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void changeEvent(QEvent *event) override;

private slots:
    void onRowDoubleClicked(const QModelIndex &index);

private:
    int lineHeight() const;
    int rowHeight(int row) const;
    int rowTop(int row) const; // in content coordinates
    int rowAt(int y) const;    // the row at content height y, or -1
    int contentHeight() const;
    int contentWidth() const;

    SearchResultsModel *rows;
    Delegate *delegate;
};

Q_DECLARE_METATYPE(SearchResultsList::LineType)
