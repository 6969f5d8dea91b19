#include "search/searchresultwindow.h"

#include "search/finding.h"

// Placeholder until the results pane is built.
SearchResultWindow::SearchResultWindow(QWidget *parent) : QWidget(parent)
{
    ui.setupUi(this);
}

void SearchResultWindow::onSearchStarted(const QString &, const QString &) {}
void SearchResultWindow::onResultFound(const Finding &) {}
void SearchResultWindow::onSearchEnd(int) {}
void SearchResultWindow::onPushButtonClearPressed()
{
    ui.resultsList->clear();
}
