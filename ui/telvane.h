// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "telegram/textlanguage.h"

#include <QList>
#include <QMainWindow>
#include <QStringList>
#include <QVector>
#include <memory>
#include <vector>

class Field;
class QAbstractButton;
class QDropEvent;
class SearchBar;
class SearchResultWindow;
class TimeLink;

namespace Ui
{
class TelvaneClass;
}

// The one top-level window: log panels side by side, the results pane, the search bar.
class Telvane : public QMainWindow
{
    Q_OBJECT

public:
    explicit Telvane(bool safetyFaultMode, TextLanguage language = English);
    ~Telvane() override;

    static Telvane *instance();
    static QString releaseTitle();

    Field *fieldById(unsigned id) const;
    // The panels, left to right.
    QList<Field *> panels() const;
    SearchResultWindow *searchResultWindow() const;
    SearchBar *searchBar() const;
    // The panel that runs search requests and the panel keys; null when none is active.
    Field *activeField() const;
    // "Link Panels by Time" (Ctrl+L).
    QAbstractButton *linkPanelsButton() const;

    const bool safetyFaultMode;

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    // File drops on a panel's log view open the file there instead of pasting its name.
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void onAddFieldPushed();
    void closeField();
    void createFields(const QStringList &fileNames);
    void openArchiveEntries(const QString &fileName, const QVector<int> &entries);
    void deactivateOtherFields();
    void onPushButtonShowOrHidePressed();

private:
    void keepOnScreen();
    void addKeys();
    bool searchAreaShown() const;
    void openDroppedFiles(QStringList files, Field *target);

    std::unique_ptr<Ui::TelvaneClass> ui;
    TimeLink *timeLink;
    bool resultsHiddenWithPanels = false;
    const TextLanguage language;

    std::vector<Field *> fields; // not owning: the splitter owns the panels
};
