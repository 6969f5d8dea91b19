#pragma once

#include "search/searchoptions.h"

#include "ui_searchbar.h"

#include <QWidget>

class QKeyEvent;

// The one-row search input under the panels; every trigger becomes a SearchOptions.
class SearchBar : public QWidget
{
    Q_OBJECT

public:
    explicit SearchBar(QWidget *parent = nullptr);

    // The buttons the main window wires to the results pane.
    QPushButton *clearResultsButton() const { return ui.pushButtonClearResults; }
    QPushButton *showOrHideButton() const { return ui.pushButtonShowOrHide; }

signals:
    void searchTriggered(const SearchOptions &options);

public slots:
    void finishSearch(bool found);
    void searchAll();
    QString getSearchText();

private slots:
    void onSearchTextChanged(const QString &text);
    void searchNext();
    void searchPrevious();
    void handleNewMatchCaseState(int);
    void radioButtonToggle(bool checked);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void triggerSearch(const QString &text, int searchDirection);

    Ui::SearchBar ui;
};
