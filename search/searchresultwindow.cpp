// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/searchresultwindow.h"

#include "search/searchresultslist.h"
#include "search/searchresultsmodel.h"
#include "searchcore/finding.h"
#include "ui_searchresultwindow.h"

#include <QMetaMethod>

SearchResultWindow::SearchResultWindow(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::searchResults>())
{
    ui->setupUi(this);
    showProgress(false);
    connect(ui->pushButtonCancelSearch, &QPushButton::clicked, this,
            &SearchResultWindow::cancelRequested);
}

SearchResultWindow::~SearchResultWindow() = default;

SearchResultsList *SearchResultWindow::resultsList() const
{
    return ui->resultsList;
}

QLabel *SearchResultWindow::searchProgressLabel() const
{
    return ui->labelSearchProgress;
}

QPushButton *SearchResultWindow::cancelSearchButton() const
{
    return ui->pushButtonCancelSearch;
}

void SearchResultWindow::onSearchStarted(const QString &fileName, const QString &searchText)
{
    // A search of another panel that still runs ends first, so that its rows stay together.
    if (searchRunning)
        emit cancelRequested();
    if (!isVisible())
        show();
    const QString header =
        QString::asprintf("Text to search: %s\nFilename: %s", searchText.toLocal8Bit().constData(),
                          fileName.toLocal8Bit().constData());
    ui->resultsList->resultsModel()->appendHeader(header);
    searchRunning = true;
    setSearchProgress(0);
    showProgress(true);
}

void SearchResultWindow::onResultsFound(const FoundBatch &batch)
{
    ui->resultsList->resultsModel()->appendBatch(batch);
}

void SearchResultWindow::setSearchProgress(int percent)
{
    ui->labelSearchProgress->setText(
        QCoreApplication::translate("searchResults", "Searching... %1%").arg(percent));
}

void SearchResultWindow::onSearchEnd(qint64 results, bool cancelled)
{
    ui->resultsList->resultsModel()->appendSummary(
        cancelled ? QCoreApplication::translate("searchResults",
                                                "Summary: Cancelled after %1 matches were found")
                        .arg(results)
                  : QString::asprintf("Summary: Found %lld matches", results));
    searchRunning = false;
    showProgress(false);
}

void SearchResultWindow::onPushButtonClearPressed()
{
    if (searchRunning)
        emit cancelRequested();
    // A search that did not answer (its panel is gone) is forgotten with its rows.
    searchRunning = false;
    showProgress(false);
    ui->resultsList->resultsModel()->clear();
}

void SearchResultWindow::showProgress(bool shown)
{
    // Cancel only where someone listens for it.
    ui->pushButtonCancelSearch->setVisible(
        isSignalConnected(QMetaMethod::fromSignal(&SearchResultWindow::cancelRequested)));
    ui->widgetSearchProgress->setVisible(shown);
}
