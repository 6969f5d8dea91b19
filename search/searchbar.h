// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "searchcore/searchoptions.h"

#include <QWidget>
#include <memory>

class QKeyEvent;
class QLineEdit;
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

    // Keyboard counterparts of the bar's own controls, for the main window's keys.
    QLineEdit *searchTextEdit() const;
    void focusSearchText();
    void requestNext();
    void requestPrevious();
    // False, and no request, while the Find All button is disabled.
    bool requestFindAll();

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
