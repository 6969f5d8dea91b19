#pragma once

#include <QListWidget>

class Finding;

// The list of find-all rows: a header, one row per match, a summary.
class SearchResultsList : public QListWidget
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

signals:
    // A result row was double-clicked: its panel should select the match.
    void goToRequested(const Finding &finding);

private slots:
    void onItemDoubleClicked(QListWidgetItem *item);
};

Q_DECLARE_METATYPE(SearchResultsList::LineType)
