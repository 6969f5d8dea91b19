#include "ui/telvane.h"

#include "app/applicationsettings.h"
#include "search/searchbar.h"
#include "search/searchresultslist.h"
#include "search/searchresultwindow.h"
#include "searchcore/finding.h"
#include "ui/field.h"
#include "ui_telvane.h"
#include "view/largelogview.h"
#include "view/visualizedtextedit.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

namespace
{
Telvane *mainWindow = nullptr;
}

Telvane::Telvane(bool safetyFaultMode, TextLanguage language)
    : safetyFaultMode(safetyFaultMode), ui(std::make_unique<Ui::TelvaneClass>()), language(language)
{
    ui->setupUi(this);
    ui->searchResults->hide();
    ui->mainWindowVerticalSplitter->setCollapsible(1, false);
    setWindowTitle(releaseTitle());
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
        QStringList fileNames = ApplicationSettings::instance().fileNames();
        if (fileNames.isEmpty())
            fileNames << QString();
        ui->widgetSearch->hide();
        createFields(fileNames);
    } else {
        ui->addFieldPushButton->hide();
        ui->checkBoxSaveSessionSettings->hide();
        ui->widgetSearch->hide();
        createFields(QStringList{QString()});
    }
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

void Telvane::createFields(const QStringList &fileNames)
{
    bool anyActive = false;
    for (const Field *field : fields)
        anyActive = anyActive || field->isActive();

    for (const QString &fileName : fileNames) {
        auto *field = new Field(this, fileName, DecodeMode{safetyFaultMode, language});
        VisualizedTextEdit *view = field->textEdit();
        connect(ui->searchBar, &SearchBar::searchTriggered, field, &Field::search);
        connect(view, &VisualizedTextEdit::searchFinished, ui->searchBar, &SearchBar::finishSearch);
        if (!safetyFaultMode) {
            connect(field->closeButton(), &QPushButton::clicked, this, &Telvane::closeField);
            connect(view, &VisualizedTextEdit::activated, this, &Telvane::deactivateOtherFields);
            SearchResultWindow *results = ui->searchResults;
            connect(view, &VisualizedTextEdit::start, results,
                    &SearchResultWindow::onSearchStarted);
            connect(view, &VisualizedTextEdit::found, results, &SearchResultWindow::onResultFound);
            connect(view, &VisualizedTextEdit::end, results, &SearchResultWindow::onSearchEnd);
        }
        LargeLogView *large = field->largeLogView();
        connect(large, &LargeLogView::searchFinished, ui->searchBar, &SearchBar::finishSearch);
        if (!safetyFaultMode) {
            connect(large, &LargeLogView::activated, this, &Telvane::deactivateOtherFields);
            SearchResultWindow *results = ui->searchResults;
            connect(large, &LargeLogView::start, results, &SearchResultWindow::onSearchStarted);
            connect(large, &LargeLogView::found, results, &SearchResultWindow::onResultFound);
            connect(large, &LargeLogView::end, results, &SearchResultWindow::onSearchEnd);
        }
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
