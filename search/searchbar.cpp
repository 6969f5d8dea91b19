#include "search/searchbar.h"

#include <QKeyEvent>

// Placeholder until the search bar is built: the form and the signals the main window uses.
SearchBar::SearchBar(QWidget *parent) : QWidget(parent)
{
    ui.setupUi(this);
    ui.pushButtonFindAll->setEnabled(false);
    ui.pushButtonShowOrHide->hide();
    ui.pushButtonClearResults->hide();
}

void SearchBar::finishSearch(bool) {}
void SearchBar::searchAll() {}
QString SearchBar::getSearchText()
{
    return ui.lineEditSearchText->text();
}
void SearchBar::onSearchTextChanged(const QString &) {}
void SearchBar::searchNext() {}
void SearchBar::searchPrevious() {}
void SearchBar::handleNewMatchCaseState(int) {}
void SearchBar::radioButtonToggle(bool) {}
void SearchBar::keyPressEvent(QKeyEvent *event)
{
    QWidget::keyPressEvent(event);
}
void SearchBar::triggerSearch(const QString &, int) {}
