#pragma once

#include "searchcore/searchoptions.h"

#include <QWidget>
#include <memory>

class QKeyEvent;
class QPushButton;

namespace Ui
{
class SearchBar;
}

// The one-row search input under the panels; every trigger becomes a SearchOptions.
class SearchBar : public QWidget
{
    Q_OBJECT

public:
    explicit SearchBar(QWidget *parent = nullptr);
    ~SearchBar() override;

    // The buttons the main window wires to the results pane.
    QPushButton *clearResultsButton() const;
    QPushButton *showOrHideButton() const;

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

    std::unique_ptr<Ui::SearchBar> ui;
};
