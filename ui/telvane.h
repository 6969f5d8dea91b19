#pragma once

#include "ui_telvane.h"

#include <QMainWindow>
#include <QStringList>
#include <vector>

class Field;
class SearchResultWindow;

// The one top-level window: log panels side by side, the results pane, the search bar.
class Telvane : public QMainWindow
{
    Q_OBJECT

public:
    explicit Telvane(bool safetyFaultMode);
    ~Telvane() override;

    static Telvane *instance();
    static QString releaseTitle();

    Field *fieldById(unsigned id) const;
    SearchResultWindow *searchResultWindow() const;
    SearchBar *searchBar() const { return ui.searchBar; }

    const bool safetyFaultMode;

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void onAddFieldPushed();
    void closeField();
    void createFields(const QStringList &fileNames);
    void deactivateOtherFields();
    void onPushButtonShowOrHidePressed();

private:
    Ui::TelvaneClass ui;
    // Panels connect their close button and their view's activation to the private slots.
    friend class Field;

    std::vector<Field *> fields; // not owning: the splitter owns the panels
};
