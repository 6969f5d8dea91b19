// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/telvane.h"

#include "logview/timelink.h"
#include "search/searchbar.h"
#include "search/searchresultslist.h"
#include "search/searchresultwindow.h"
#include "searchcore/finding.h"
#include "settings/applicationsettings.h"
#include "ui/field.h"
#include "ui_telvane.h"
#include "view/logviewwidget.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QUrl>
#include <algorithm>

namespace
{
Telvane *mainWindow = nullptr;

// The regular local files among a drag's URLs, in their order; folders, devices, FIFOs and
// remote URLs are left out.
QStringList droppedFiles(const QMimeData *mimeData)
{
    QStringList files;
    if (!mimeData || !mimeData->hasUrls())
        return files;
    const QList<QUrl> urls = mimeData->urls();
    for (const QUrl &url : urls) {
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile())
            files << url.toLocalFile();
    }
    return files;
}

// A drag of local paths, files or not; a view takes none of these as text.
bool holdsLocalUrls(const QMimeData *mimeData)
{
    if (!mimeData || !mimeData->hasUrls())
        return false;
    const QList<QUrl> urls = mimeData->urls();
    return std::any_of(urls.cbegin(), urls.cend(),
                       [](const QUrl &url) { return url.isLocalFile(); });
}

// A dropped file is only read: the drag's source must never take it as moved away.
bool acceptAsCopy(QDropEvent *event)
{
    if (!(event->possibleActions() & Qt::CopyAction)) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

// Every widget of `root` that takes drops of its own (text views, line edits), so that a file
// dropped on it reaches `filter` before it could be pasted as text.
void watchDrops(QWidget *root, QObject *filter)
{
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *widget : qAsConst(widgets)) {
        if (widget->acceptDrops())
            widget->installEventFilter(filter);
    }
}
} // namespace

Telvane::Telvane(bool safetyFaultMode, TextLanguage language)
    : safetyFaultMode(safetyFaultMode), ui(std::make_unique<Ui::TelvaneClass>()),
      timeLink(new TimeLink(this)), language(language)
{
    ui->setupUi(this);
    ui->searchResults->hide();
    ui->mainWindowVerticalSplitter->setCollapsible(1, false);
    setWindowTitle(releaseTitle());
    setAcceptDrops(true);
    mainWindow = this;

    if (restoreGeometry(ApplicationSettings::instance().mainWindowGeometry()))
        keepOnScreen();

    connect(ui->pushButtonAboutQt, &QPushButton::pressed, this,
            [this] { QMessageBox::aboutQt(this, QString()); });

    if (!safetyFaultMode) {
        connect(ui->addFieldPushButton, &QPushButton::pressed, this, &Telvane::onAddFieldPushed);
        connect(ui->searchBar->clearResultsButton(), &QPushButton::pressed, ui->searchResults,
                &SearchResultWindow::onPushButtonClearPressed);
        connect(ui->searchBar->showOrHideButton(), &QPushButton::pressed, this,
                &Telvane::onPushButtonShowOrHidePressed);
        connect(ui->searchResults->resultsList(), &SearchResultsList::goToRequested, this,
                [this](const Finding &finding) {
                    // Nothing to go to once the row's panel has been closed.
                    if (Field *field = fieldById(finding.fieldId))
                        field->goTo(finding);
                });
        QCheckBox *link = ui->checkBoxLinkPanels;
        link->setChecked(ApplicationSettings::instance().linkPanelsByTime());
        connect(link, &QCheckBox::toggled, this, [this](bool on) {
            ApplicationSettings::instance().setLinkPanelsByTime(on);
            timeLink->setEnabled(on);
        });
        QStringList fileNames = ApplicationSettings::instance().fileNames();
        if (fileNames.isEmpty())
            fileNames << QString();
        ui->widgetSearch->hide();
        watchDrops(ui->searchBar, this);
        createFields(fileNames);
    } else {
        ui->addFieldPushButton->hide();
        ui->checkBoxSaveSessionSettings->hide();
        ui->checkBoxLinkPanels->hide();
        ui->widgetSearch->hide();
        createFields(QStringList{QString()});
    }
    addKeys();
    // Once the panels are there, so that they follow the active one at once.
    timeLink->setEnabled(ui->checkBoxLinkPanels->isChecked());
}

void Telvane::addKeys()
{
    const auto addKey = [this](const QKeySequence &keys, QWidget *on, Qt::ShortcutContext context,
                               auto act) {
        auto *action = new QAction(this);
        action->setShortcut(keys);
        action->setShortcutContext(context);
        connect(action, &QAction::triggered, this, act);
        on->addAction(action);
    };
    addKey(QKeySequence(Qt::CTRL | Qt::Key_O), this, Qt::WindowShortcut, [this] {
        if (Field *field = activeField())
            field->selectAndOpenFile();
    });
    addKey(QKeySequence(Qt::Key_F5), this, Qt::WindowShortcut, [this] {
        if (Field *field = activeField())
            field->reload();
    });
    if (safetyFaultMode)
        return;

    SearchBar *bar = ui->searchBar;
    addKey(QKeySequence(Qt::CTRL | Qt::Key_F), this, Qt::WindowShortcut, [this, bar] {
        if (searchAreaShown())
            bar->focusSearchText();
    });
    addKey(QKeySequence(Qt::Key_F3), this, Qt::WindowShortcut, [this, bar] {
        if (searchAreaShown())
            bar->requestNext();
    });
    addKey(QKeySequence(Qt::SHIFT | Qt::Key_F3), this, Qt::WindowShortcut, [this, bar] {
        if (searchAreaShown())
            bar->requestPrevious();
    });
    addKey(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F), this, Qt::WindowShortcut, [this, bar] {
        if (searchAreaShown())
            bar->requestFindAll();
    });
    addKey(QKeySequence(Qt::CTRL | Qt::Key_W), this, Qt::WindowShortcut, [this] {
        // The X button's own click, so that the panel closes exactly as it does by mouse.
        if (Field *field = activeField())
            field->closeButton()->click();
    });
    addKey(QKeySequence(Qt::CTRL | Qt::Key_L), this, Qt::WindowShortcut,
           [this] { ui->checkBoxLinkPanels->toggle(); });
    addKey(QKeySequence(Qt::Key_F8), this, Qt::WindowShortcut, [this] {
        if (Field *field = activeField())
            field->nextErrorAction()->trigger();
    });
    addKey(QKeySequence(Qt::SHIFT | Qt::Key_F8), this, Qt::WindowShortcut, [this] {
        if (Field *field = activeField())
            field->previousErrorAction()->trigger();
    });
    addKey(QKeySequence(Qt::CTRL | Qt::Key_G), this, Qt::WindowShortcut, [this] {
        if (Field *field = activeField())
            field->openGoToInput();
    });
    // Only while the search text has the focus; elsewhere Esc keeps its usual meaning.
    addKey(QKeySequence(Qt::Key_Escape), bar->searchTextEdit(), Qt::WidgetShortcut, [this] {
        if (Field *field = activeField())
            field->view()->widget()->setFocus(Qt::ShortcutFocusReason);
    });
}

bool Telvane::searchAreaShown() const
{
    return !ui->widgetSearch->isHidden();
}

void Telvane::keepOnScreen()
{
    // A geometry stored on a bigger screen, or grown past this one, comes back within it.
    const QScreen *screen = QGuiApplication::screenAt(geometry().center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QSize frameExtra = frameGeometry().size() - geometry().size();
    const QSize room = available.size() - frameExtra;
    if (width() > room.width() || height() > room.height())
        resize(qMin(width(), room.width()), qMin(height(), room.height()));
    QRect frame = frameGeometry();
    frame.moveRight(qMin(frame.right(), available.right()));
    frame.moveBottom(qMin(frame.bottom(), available.bottom()));
    frame.moveLeft(qMax(frame.left(), available.left()));
    frame.moveTop(qMax(frame.top(), available.top()));
    if (frame.topLeft() != frameGeometry().topLeft())
        move(frame.topLeft());
}

Telvane::~Telvane()
{
    // The panels go while this window is still whole: a signal they send on the way out must
    // find an empty list rather than one that is already destroyed.
    fields.clear();
    delete takeCentralWidget();
    if (mainWindow == this)
        mainWindow = nullptr;
}

Telvane *Telvane::instance()
{
    return mainWindow;
}

QString Telvane::releaseTitle()
{
    // The build's date and time, "Dec 16 2020 10:54:23"; __DATE__ pads early days with a blank.
    static const QString title = QStringLiteral("Telvane 0.3 beta. Released: ") +
                                 QStringLiteral(__DATE__ " " __TIME__).simplified() +
                                 QLatin1Char('.');
    return title;
}

QList<Field *> Telvane::panels() const
{
    QList<Field *> result;
    for (Field *field : fields)
        result << field;
    return result;
}

Field *Telvane::fieldById(unsigned id) const
{
    for (Field *field : fields) {
        if (field->id == id)
            return field;
    }
    return nullptr;
}

SearchResultWindow *Telvane::searchResultWindow() const
{
    return ui->searchResults;
}

SearchBar *Telvane::searchBar() const
{
    return ui->searchBar;
}

QAbstractButton *Telvane::linkPanelsButton() const
{
    return ui->checkBoxLinkPanels;
}

Field *Telvane::activeField() const
{
    for (Field *field : fields) {
        if (field->isActive())
            return field;
    }
    return nullptr;
}

void Telvane::createFields(const QStringList &fileNames)
{
    bool anyActive = false;
    for (const Field *field : fields)
        anyActive = anyActive || field->isActive();

    for (const QString &fileName : fileNames) {
        auto *field = new Field(this, fileName, DecodeMode{safetyFaultMode, language});
        connect(ui->searchBar, &SearchBar::searchTriggered, field, &Field::search);
        connect(field, &Field::searchFinished, ui->searchBar, &SearchBar::finishSearch);
        if (!safetyFaultMode) {
            connect(field->closeButton(), &QPushButton::clicked, this, &Telvane::closeField);
            connect(field, &Field::activated, this, &Telvane::deactivateOtherFields);
            SearchResultWindow *results = ui->searchResults;
            connect(field, &Field::start, results, &SearchResultWindow::onSearchStarted);
            connect(field, &Field::foundBatch, results, &SearchResultWindow::onResultsFound);
            connect(field, &Field::findAllProgress, results,
                    &SearchResultWindow::setSearchProgress);
            connect(field, &Field::end, results, &SearchResultWindow::onSearchEnd);
            connect(results, &SearchResultWindow::cancelRequested, field, &Field::cancelFindAll);
            connect(field, &Field::archiveEntriesRequested, this, &Telvane::openArchiveEntries);
        }
        connect(field, &Field::viewReplaced, this, [this, field](QWidget *view) {
            watchDrops(view, this);
            timeLink->addView(field->logView());
        });
        timeLink->addView(field->logView());
        watchDrops(field, this);
        ui->fieldsHorizontalSplitter->addWidget(field);
        fields.push_back(field);
        if (!safetyFaultMode) {
            ui->widgetSearch->show();
            if (resultsHiddenWithPanels)
                ui->searchResults->show();
            resultsHiddenWithPanels = false;
        }
        if (!anyActive) {
            field->setActive(true);
            anyActive = true;
        }
    }
}

void Telvane::openArchiveEntries(const QString &fileName, const QVector<int> &entries)
{
    for (const int entry : entries) {
        createFields({QString()});
        fields.back()->openArchiveEntry(fileName, entry);
    }
}

void Telvane::closeField()
{
    const auto *button = qobject_cast<QPushButton *>(sender());
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        if ((*it)->isSentByMe(button)) {
            Field *field = *it;
            field->setParent(nullptr);
            field->deleteLater();
            fields.erase(it);
            break;
        }
    }
    if (fields.empty()) {
        ui->widgetSearch->hide();
        // The pane's buttons went with the search area; it comes back with the next panel.
        resultsHiddenWithPanels = ui->searchResults->isVisible();
        ui->searchResults->hide();
    }
}

void Telvane::deactivateOtherFields()
{
    const QObject *view = sender();
    for (Field *field : fields) {
        if (!field->isSentByMe(view))
            field->setActive(false);
    }
}

void Telvane::onPushButtonShowOrHidePressed()
{
    if (ui->searchResults->isVisible()) {
        ui->searchResults->hide();
        ui->searchBar->showOrHideButton()->setText(tr("Show Results"));
    } else {
        ui->searchResults->show();
        ui->searchBar->showOrHideButton()->setText(tr("Hide Results"));
    }
}

void Telvane::onAddFieldPushed()
{
    const QStringList chosen = Field::chooseLogFiles(this, QFileDialog::ExistingFiles);
    if (!chosen.isEmpty())
        createFields(chosen);
}

void Telvane::closeEvent(QCloseEvent *event)
{
    if (!safetyFaultMode && ui->checkBoxSaveSessionSettings->isChecked())
        ApplicationSettings::instance().setFileNames(fields);
    ApplicationSettings::instance().setMainWindowGeometry(saveGeometry());
    QCoreApplication::quit();
    event->accept();
}

void Telvane::dragEnterEvent(QDragEnterEvent *event)
{
    if (droppedFiles(event->mimeData()).isEmpty())
        event->ignore();
    else
        acceptAsCopy(event);
}

void Telvane::dropEvent(QDropEvent *event)
{
    const QStringList files = droppedFiles(event->mimeData());
    if (files.isEmpty())
        event->ignore();
    else if (acceptAsCopy(event))
        openDroppedFiles(files, nullptr);
}

bool Telvane::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QMainWindow::eventFilter(watched, event);
    auto *drop = static_cast<QDropEvent *>(event);
    if (!holdsLocalUrls(drop->mimeData()))
        return QMainWindow::eventFilter(watched, event); // text and web addresses go on
    const QStringList files = droppedFiles(drop->mimeData());
    if (files.isEmpty()) {
        drop->ignore(); // a folder's name is not pasted either
        return true;
    }
    if (acceptAsCopy(drop) && type == QEvent::Drop) {
        Field *target = nullptr;
        const auto *widget = qobject_cast<QWidget *>(watched);
        for (Field *field : fields) {
            if (widget && (field == widget || field->isAncestorOf(widget)))
                target = field;
        }
        openDroppedFiles(files, target);
    }
    return true;
}

void Telvane::openDroppedFiles(QStringList files, Field *target)
{
    if (safetyFaultMode) {
        // The one panel shows one file at a time.
        if (!fields.empty())
            fields.front()->openFile(files.first());
        return;
    }
    if (target)
        target->openFile(files.takeFirst());
    if (!files.isEmpty())
        createFields(files);
}
