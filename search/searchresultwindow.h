// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "searchcore/finding.h"

#include <QString>
#include <QWidget>

#include <memory>

class QLabel;
class QPushButton;
class SearchResultsList;

namespace Ui
{
class searchResults;
}

// The pane under the panels that lists what find-all searches report. While a find-all runs it
// shows its progress and a Cancel button, which asks for the end of the search by
// `cancelRequested`.
class SearchResultWindow : public QWidget
{
    Q_OBJECT

public:
    explicit SearchResultWindow(QWidget *parent = nullptr);
    ~SearchResultWindow() override;

    SearchResultsList *resultsList() const;
    QLabel *searchProgressLabel() const;
    QPushButton *cancelSearchButton() const;
    // Between a search's start and its end.
    bool isSearchRunning() const { return searchRunning; }


public slots:
    void onSearchStarted(const QString &fileName, const QString &searchText);
    // The search ended after finding `results` matches; `cancelled` when it was stopped first.
    void onSearchEnd(qint64 results, bool cancelled = false);
    void onPushButtonClearPressed();
    // Matches of the running search, in document order.
    void onResultsFound(const FoundBatch &batch);
    void setSearchProgress(int percent);

signals:
    // The running search should end; its end arrives by onSearchEnd as usual. Sent by the
    // Cancel button, and before a new search starts or the list is cleared while one runs.
    void cancelRequested();

private:
    void showProgress(bool shown);

    std::unique_ptr<Ui::searchResults> ui;
    bool searchRunning = false;
};
