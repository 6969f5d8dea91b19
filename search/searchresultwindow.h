#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include <memory>

class Finding;
class SearchResultsList;

namespace Ui
{
class searchResults;
}

// The pane under the panels that lists what find-all searches report.
class SearchResultWindow : public QWidget
{
    Q_OBJECT

public:
    explicit SearchResultWindow(QWidget *parent = nullptr);
    ~SearchResultWindow() override;

    SearchResultsList *resultsList() const;

public slots:
    void onSearchStarted(const QString &fileName, const QString &searchText);
    void onResultFound(const Finding &finding);
    void onSearchEnd(int results);
    void onPushButtonClearPressed();

private:
    struct PendingRow {
        int lineNumber;
        int column;
        int length;
        unsigned fieldId;
        int position;
    };
    void appendPendingRows();

    std::unique_ptr<Ui::searchResults> ui;
    // Result rows of the running find-all, added to the list in one batch when it ends.
    bool collecting = false;
    QStringList pendingTexts;
    QVector<PendingRow> pendingRows;
};
