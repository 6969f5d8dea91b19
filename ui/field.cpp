// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/field.h"

#include "archive/unpackedlog.h"
#include "history/parameterhistorywindow.h"
#include "historycore/parameterhistory.h"
#include "logstore/logstore.h"
#include "logstore/logtail.h"
#include "logview/logviewcontroller.h"
#include "searchcore/searchoptions.h"
#include "settings/applicationsettings.h"
#include "telegram/telegramrecord.h"
#include "ui/archiveentrychooser.h"
#include "ui_field.h"
#include "view/largelogview.h"
#include "view/visualizedtextedit.h"

#include <QAction>
#include <QBuffer>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSignalBlocker>
#include <QSlider>
#include <QSplitterHandle>
#include <QTextStream>
#include <QTimer>

namespace
{
unsigned fieldCounter = 0;

qint64 largeLogLimit = qint64(16) << 20;
constexpr int longestOrdinaryLine = 10000;

bool hasOverlongLine(const QString &text)
{
    for (int start = 0; start < text.size();) {
        int end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = text.size();
        if (end - start > longestOrdinaryLine)
            return true;
        start = end + 1;
    }
    return false;
}

// The text of unpacked bytes as the ordinary view reads a file.
QString logText(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly | QIODevice::Text);
    return QTextStream(&buffer).readAll();
}

const QString activeFrameStyle = QStringLiteral("#frame{ border: 2px solid orange; }");
const QString inactiveFrameStyle = QStringLiteral("#frame{ border: 2px solid lightgray; }");
} // namespace

Field::Field(QWidget *parent, const QString &fileName, const DecodeMode &mode)
    : QWidget(parent), ui(std::make_unique<Ui::Field>()), mode(mode), id(fieldCounter++)
{
    ui->setupUi(this);
    ui->splitter->setCollapsible(0, false);

    follow = new QAction(tr("Follow"), this);
    follow->setCheckable(true);
    follow->setShortcut(Qt::Key_F10);
    follow->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(follow);
    history = new QAction(tr("Parameter History"), this);
    history->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    history->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    history->setVisible(false);
    addAction(history);
    connect(history, &QAction::triggered, this, &Field::openParameterHistory);
    saveSelection = new QAction(tr("Save Selection As..."), this);
    connect(saveSelection, &QAction::triggered, this, [this] {
        const QString target = QFileDialog::getSaveFileName(
            window(), QString(), ApplicationSettings::instance().lastFileDialogPath());
        if (!target.isEmpty() && !shown->controller()->saveSelection(target))
            showNote(tr("The selection could not be saved to %1.").arg(target));
    });
    tail = new LogTail(this);
    note = new QLabel(this);
    note->setObjectName(QStringLiteral("followNote"));
    note->setWordWrap(true); // an archive's error can be long
    note->hide();
    ui->verticalLayout_2->insertWidget(3, note);
    connect(follow, &QAction::toggled, this, &Field::setFollowing);
    connect(tail, &LogTail::appended, this, [this](const QString &text) {
        if (VisualizedTextEdit *edit = textEdit())
            edit->appendLogText(text);
    });
    connect(tail, &LogTail::grown, this, [this] {
        if (LargeLogView *large = largeLogView())
            large->followGrowth();
    });
    connect(tail, &LogTail::reset, this, [this] {
        // Read anew once the window has had its turn: whatever is waiting (a click, a paint)
        // comes first, rather than after a reread of the whole file.
        tail->stop(); // the reading starts it again
        QTimer::singleShot(0, this, &Field::followReset);
    });
    connect(tail, &LogTail::vanished, this,
            [this] { showNote(tr("The file is gone; following waits for it to come back.")); });
    connect(tail, &LogTail::returned, note, &QWidget::hide);

    // Only in the context menu: the main window's F8 and Shift+F8 trigger them for the active
    // panel.
    nextError = new QAction(tr("Next Error"), this);
    nextError->setShortcut(Qt::Key_F8);
    previousError = new QAction(tr("Previous Error"), this);
    previousError->setShortcut(Qt::SHIFT | Qt::Key_F8);
    for (QAction *action : {nextError, previousError})
        action->setShortcutContext(Qt::WidgetShortcut);
    connect(nextError, &QAction::triggered, this,
            [this] { shown->controller()->goToNextError(false); });
    connect(previousError, &QAction::triggered, this,
            [this] { shown->controller()->goToNextError(true); });

    lineOrTime = new QLineEdit(this);
    lineOrTime->setObjectName(QStringLiteral("goToInput"));
    lineOrTime->setPlaceholderText(tr("Line or time"));
    lineOrTime->setToolTip(
        tr("A line number, a time HH:mm:ss[.zzz] on the log's first day, or a date "
           "and time yyyy-MM-dd HH:mm:ss[.zzz]"));
    lineOrTime->hide();
    auto *closeGoTo = new QAction(lineOrTime);
    closeGoTo->setShortcut(Qt::Key_Escape);
    closeGoTo->setShortcutContext(Qt::WidgetShortcut);
    lineOrTime->addAction(closeGoTo);
    connect(closeGoTo, &QAction::triggered, this, &Field::closeGoToInput);
    connect(lineOrTime, &QLineEdit::returnPressed, this, &Field::goToTyped);
    // Red until the text changes.
    connect(lineOrTime, &QLineEdit::textEdited, this,
            [this] { lineOrTime->setPalette(QPalette()); });
    ui->selectedLineDetailsEdit->setFont(ApplicationSettings::textFont());
    showView(false);

    for (QObject *watched : std::initializer_list<QObject *>{
             this, ui->selectedLineDetailsEdit, ui->visualizedAreaWidthSlider, ui->fileNameInput,
             ui->pushButtonOpenFile, ui->pushButtonReload, ui->splitter->handle(1)})
        watched->installEventFilter(this);

    ui->frame->setStyleSheet(inactiveFrameStyle);
    // Long paths are elided rather than widening the panel, and with it the window.
    ui->fileNameInput->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ui->fileNameInput->setMinimumContentsLength(8);
    fillBrantelLogFilesToComboBox();

    connect(ui->pushButtonReload, &QPushButton::clicked, this, &Field::reload);
    connect(ui->pushButtonOpenFile, &QPushButton::clicked, this, &Field::selectAndOpenFile);
    connect(ui->visualizedAreaWidthSlider, &QSlider::sliderMoved, this,
            &Field::setVisualizedTextAreaWidthBySliderPos);
    connect(ui->visualizedAreaWidthSlider, &QSlider::valueChanged, this,
            &Field::setVisualizedTextAreaWidthBySliderPos);

    // The main window connects the close button, the activation and the search signals.
    if (safetyFaultMode()) {
        ui->pushButtonCloseField->hide();
        ui->fileNameInput->hide();
    }

    openFile(fileName);

    connect(ui->fileNameInput, &QComboBox::currentTextChanged, this, &Field::openFile);
}

Field::~Field()
{
    // The view's behaviour must not report to a panel that is half gone.
    if (shown)
        disconnect(shown->controller(), nullptr, this, nullptr);
}

void Field::showView(bool large)
{
    if (shown && (largeLogView() != nullptr) == large)
        return;
    LogViewWidget *view;
    if (large) {
        auto *largeView = new LargeLogView;
        largeView->setObjectName(QStringLiteral("largeLogContents"));
        connect(largeView, &LargeLogView::telegramLogDetected, this, [this] {
            if (safetyFaultMode() || !shown)
                return;
            shown->setVisualizedTextAreaWidth(
                ApplicationSettings::instance().visualizedAreaWidth());
            updateVisualizedAreaSlider();
        });
        view = largeView;
        ui->fileContents = nullptr;
    } else {
        // The form's own view serves the first log; later ones get a new one of its kind.
        VisualizedTextEdit *edit = shown ? new VisualizedTextEdit : ui->fileContents;
        edit->setObjectName(QStringLiteral("fileContents"));
        connect(edit, &VisualizedTextEdit::textEditedByUser, this, &Field::stopFollowingAfterEdit);
        view = edit;
        ui->fileContents = edit;
    }
    const bool replacing = shown != nullptr;
    if (replacing) {
        QWidget *old = ui->splitter->replaceWidget(0, view->widget());
        // The splitter passes on the old view's visibility, and before the panel is first shown
        // (a session's log opened at start) that was none.
        view->widget()->show();
        disconnect(shown->controller(), nullptr, this, nullptr);
        delete old;
    }
    shown = view;

    LogViewController *behaviour = view->controller();
    behaviour->setDecodeMode(mode);
    behaviour->setId(id);
    behaviour->setActive(active);
    view->setErrorMarksShown(!safetyFaultMode());
    view->setExtraContextActions(
        safetyFaultMode()
            ? QList<QAction *>{follow}
            : QList<QAction *>{follow, history, saveSelection, nextError, previousError});
    view->widget()->installEventFilter(this);
    connect(behaviour, &LogViewController::visualizeLineSelected, ui->selectedLineDetailsEdit,
            &QPlainTextEdit::setPlainText);
    connect(behaviour, &LogViewController::visualizeLineSelected, this,
            &Field::offerParameterHistory);
    connect(behaviour, &LogViewController::activated, this, &Field::onFieldClicked);
    connect(behaviour, &LogViewController::searchFinished, this, &Field::searchFinished);
    connect(behaviour, &LogViewController::start, this, &Field::start);
    connect(behaviour, &LogViewController::foundBatch, this, &Field::foundBatch);
    connect(behaviour, &LogViewController::findAllProgress, this, &Field::findAllProgress);
    connect(behaviour, &LogViewController::end, this, &Field::end);
    connect(behaviour, &LogViewController::note, this, &Field::showViewNote);
    if (replacing)
        emit viewReplaced(view->widget());
}

LogViewWidget *Field::view() const
{
    return shown;
}

LogViewController *Field::logView() const
{
    return shown->controller();
}

VisualizedTextEdit *Field::textEdit() const
{
    return qobject_cast<VisualizedTextEdit *>(shown->widget());
}

LargeLogView *Field::largeLogView() const
{
    return qobject_cast<LargeLogView *>(shown->widget());
}

qint64 Field::largeLogBytes()
{
    return largeLogLimit;
}

void Field::setLargeLogBytes(qint64 bytes)
{
    largeLogLimit = bytes;
}

QPushButton *Field::closeButton() const
{
    return ui->pushButtonCloseField;
}

QString Field::fileName() const
{
    return ui->fileNameInput->currentText();
}

void Field::setActive(bool active)
{
    this->active = active;
    shown->controller()->setActive(active);
    ui->frame->setStyleSheet(active ? activeFrameStyle : inactiveFrameStyle);
}

void Field::onFieldClicked()
{
    setActive(true);
    emit activated();
}

QString Field::logFileNameFilter()
{
    return tr("Logs (.log .log.* *.*)");
}

QString Field::logFolder()
{
    return QDir::tempPath() + QStringLiteral("/Velmora Drives/Brantel/");
}

bool Field::isSentByMe(const QPushButton *sender) const
{
    return sender && sender == ui->pushButtonCloseField;
}

bool Field::isSentByMe(const QObject *sender) const
{
    return sender && (sender == this || sender == shown->widget() || sender == shown->controller());
}

void Field::search(const SearchOptions &options)
{
    if (active)
        shown->controller()->search(options);
}

void Field::goTo(const Finding &finding)
{
    shown->controller()->goTo(finding);
}

void Field::cancelFindAll()
{
    shown->controller()->cancelFindAll();
}

bool Field::isFollowing() const
{
    return follow->isChecked();
}

QString Field::noteText() const
{
    return note->isHidden() ? QString() : note->text();
}

bool Field::isUnpacking() const
{
    return unpacked && unpacked->isRunning();
}

ArchiveEntryChooser *Field::archiveEntryChooser() const
{
    return chooser;
}

QString Field::unpackedFile() const
{
    return unpacked ? unpacked->filePath() : QString();
}

void Field::showViewNote(const QString &text)
{
    if (text.isEmpty()) {
        if (noteFromView)
            note->hide();
        return;
    }
    showNote(text);
    noteFromView = true;
}

void Field::openGoToInput()
{
    lineOrTime->setPalette(QPalette());
    placeGoToInput();
    lineOrTime->show();
    lineOrTime->raise();
    lineOrTime->selectAll();
    lineOrTime->setFocus(Qt::ShortcutFocusReason);
}

void Field::placeGoToInput()
{
    // Over the top right corner of the text, clear of the strip and the scroll bar.
    const QWidget *view = shown->widget();
    const QPoint viewAt = view->mapTo(this, QPoint(0, 0));
    const int width = qMin(220, view->width() / 2);
    const int right = viewAt.x() + shown->visualizedTextWidget()->x();
    lineOrTime->setGeometry(right - width - 4, viewAt.y() + 4, width,
                            lineOrTime->sizeHint().height());
}

void Field::goToTyped()
{
    if (!shown->controller()->goToLineOrTime(lineOrTime->text())) {
        QPalette red = lineOrTime->palette();
        red.setColor(QPalette::Text, Qt::red);
        lineOrTime->setPalette(red);
        return;
    }
    closeGoToInput();
}

void Field::closeGoToInput()
{
    lineOrTime->hide();
    shown->widget()->setFocus(Qt::ShortcutFocusReason);
}

void Field::showNote(const QString &text)
{
    noteFromView = false;
    // The note takes room from the view: a caret that was in view stays in view.
    const bool keepCaret = shown->controller()->caretInView();
    note->setText(text);
    note->show();
    if (keepCaret) {
        QTimer::singleShot(0, this, [this] {
            if (shown->controller()->caretInView())
                return;
            shown->controller()->ensureCaretVisible();
        });
    }
}

void Field::startTail(const QString &name)
{
    // The ordinary view takes the text the file gains; the large-log view indexes it itself.
    if (largeLogView())
        tail->start(name, QFileInfo(name).size(), false);
    else
        tail->start(name, readOffset, true);
}

void Field::setFollowing(bool on)
{
    note->hide();
    if (!on) {
        tail->stop();
        return;
    }
    const QString name = ui->fileNameInput->currentText();
    startTail(name);
    // What came while following was off.
    if (LargeLogView *large = largeLogView())
        large->followGrowth();
    else
        tail->check();
}

void Field::followReset()
{
    // Shrunk, replaced or back after vanishing: read again, and keep to the end if there.
    note->hide();
    const bool atEnd = shown->controller()->caretOnLastLine();
    const bool opened = openFile(ui->fileNameInput->currentText());
    if (opened && atEnd)
        moveCursorToEnd();
}

void Field::stopFollowingAfterEdit()
{
    if (!follow->isChecked())
        return;
    follow->setChecked(false);
    showNote(tr("Follow stopped: the text was edited."));
}

void Field::offerParameterHistory()
{
    int index = -1;
    const QStringList lines = shown->controller()->shownLineTexts(&index);
    selectedParameters =
        index >= 0 && !safetyFaultMode() ? parameterNumbersAt(lines, index) : QVector<quint32>();
    history->setVisible(!selectedParameters.isEmpty());
}

ParameterHistoryWindow *Field::openParameterHistory()
{
    if (selectedParameters.isEmpty())
        return nullptr;
    auto *window = new ParameterHistoryWindow(selectedParameters.first(),
                                              QFileInfo(fileName()).fileName(), this);
    window->setWindowFlag(Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    // The window reads the panel's log as long as both are there; a log that grows adds rows,
    // any other change of it starts the history anew.
    const QPointer<LineSource> lines = shown->controller()->source();
    // Of a long line it reads the start, as the strip decodes it.
    const auto reader = [lines](qint64 first, qint64 count) {
        return lines ? lines->lineHeads(first, count, LogViewController::decodedLineLimit)
                     : QStringList();
    };
    window->scan(reader, lines->lineCount());
    connect(lines, &LineSource::changed, window,
            [window, lines, reader, counted = lines->lineCount()]() mutable {
                if (!lines)
                    return;
                const qint64 now = lines->lineCount();
                if (now >= counted)
                    window->setLineCount(now);
                else
                    window->scan(reader, now);
                counted = now;
            });
    connect(window, &ParameterHistoryWindow::lineRequested, this, [this](qint64 line) {
        shown->controller()->selectLine(line);
        shown->widget()->setFocus();
    });
    window->show();
    return window;
}

void Field::moveCursorToEnd()
{
    shown->moveCursorToEnd();
}

bool Field::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::FocusIn)
        onFieldClicked();
    return QWidget::eventFilter(watched, event);
}

void Field::fillBrantelLogFilesToComboBox()
{
    if (safetyFaultMode())
        return;
    const QDir folder(logFolder());
    const QFileInfoList entries =
        folder.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QFileInfo &entry : entries) {
        const QString path = entry.absoluteFilePath();
        if (ui->fileNameInput->findData(path) < 0)
            ui->fileNameInput->addItem(path, path);
    }
}

bool Field::openFile(const QString &fileName)
{
    return openLog(fileName, QString());
}

void Field::selectInFileList(const QString &fileName)
{
    // This very call opens the file; the combo box must not open it a second time, neither
    // when the first item added becomes current nor when the item is selected.
    const QSignalBlocker blocker(ui->fileNameInput);
    int index = ui->fileNameInput->findData(fileName);
    if (index < 0) {
        ui->fileNameInput->addItem(fileName, fileName);
        index = ui->fileNameInput->findData(fileName);
    }
    ui->fileNameInput->setCurrentIndex(index);
}

bool Field::openLog(const QString &fileName, const QString &entryName)
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);

    // Only regular files: opening a FIFO or a device for reading could block the program.
    QFile file(fileName);
    const bool opened =
        QFileInfo(fileName).isFile() && file.open(QIODevice::ReadOnly | QIODevice::Text);
    if (opened)
        selectInFileList(fileName);

    // A compressed log, told by its content, is unpacked first.
    closeArchive();
    const ArchiveFormat format = opened ? detectArchiveFormat(fileName) : ArchiveFormat::Plain;
    setCompressedLog(format != ArchiveFormat::Plain);
    if (format != ArchiveFormat::Plain) {
        openArchive(fileName, format == ArchiveFormat::Zip, entryName);
        QGuiApplication::restoreOverrideCursor();
        return true;
    }

    // The one place that decides which view a log gets.
    QString content;
    bool large = opened && QFileInfo(fileName).size() > largeLogLimit;
    if (opened && !large) {
        QTextStream stream(&file);
        content = stream.readAll();
        readOffset = file.pos();
        large = hasOverlongLine(content);
    }
    showLog(fileName, large ? QString() : content, large);
    if (follow->isChecked())
        startTail(fileName);
    QGuiApplication::restoreOverrideCursor();
    return opened;
}

void Field::showLog(const QString &fileName, const QString &content, bool large,
                    const QString &title)
{
    showView(large);
    if (large) {
        if (!safetyFaultMode()) {
            // The strip comes when the indexer finds the marker.
            shown->setVisualizedTextAreaWidth(0);
            ui->visualizedAreaWidthSlider->setValue(ui->visualizedAreaWidthSlider->minimum());
        }
        largeLogView()->openLog(fileName, title);
    } else {
        if (!safetyFaultMode()) {
            const bool telegramLog = content.contains(commMarker);
            shown->setVisualizedTextAreaWidth(
                telegramLog ? ApplicationSettings::instance().visualizedAreaWidth() : 0);
            if (telegramLog)
                updateVisualizedAreaSlider();
            else
                ui->visualizedAreaWidthSlider->setValue(ui->visualizedAreaWidthSlider->minimum());
        }
        textEdit()->setLogText(title.isEmpty() ? fileName : title, content);
    }
}

void Field::closeArchive()
{
    delete chooser;
    // Its file goes; a view that still reads it keeps it open until it opens another.
    unpacked.reset();
}

void Field::setCompressedLog(bool compressed)
{
    if (compressed)
        follow->setChecked(false);
    follow->setEnabled(!compressed);
    follow->setText(compressed ? tr("Follow (not for compressed logs)") : tr("Follow"));
    follow->setToolTip(compressed ? tr("A compressed log is unpacked once; Reload unpacks it "
                                       "again when its file has changed.")
                                  : QString());
}

void Field::openArchive(const QString &fileName, bool zip, const QString &entryName)
{
    if (!zip) {
        unpackEntry(fileName, 0, false);
        return;
    }
    QString error;
    const QVector<ArchiveEntry> entries = listArchiveEntries(fileName, &error);
    if (entries.isEmpty()) {
        showLog(fileName, QString(), false);
        showNote(error.isEmpty() ? tr("The archive holds no files.") : error);
        return;
    }
    if (entries.size() == 1) {
        unpackEntry(fileName, 0, false);
        return;
    }
    // Reload keeps to the log shown.
    for (int i = 0; i < entries.size(); ++i) {
        if (!entryName.isEmpty() && entries.at(i).name == entryName) {
            unpackEntry(fileName, i, true);
            return;
        }
    }
    showLog(fileName, QString(), false);
    showNote(tr("Choose the logs to open from the archive."));
    chooser = new ArchiveEntryChooser(this, fileName, entries, !safetyFaultMode());
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    connect(chooser, &QDialog::accepted, this, [this, fileName, list = chooser.data()] {
        const QVector<int> chosen = list->chosenEntries();
        if (chosen.isEmpty())
            return;
        unpackEntry(fileName, chosen.first(), true);
        if (chosen.size() > 1)
            emit archiveEntriesRequested(fileName, chosen.mid(1));
    });
    connect(chooser, &QDialog::rejected, this,
            [this] { showNote(tr("No log of the archive was chosen; Reload lists them again.")); });
    chooser->open();
}

bool Field::openArchiveEntry(const QString &fileName, int index)
{
    if (!QFileInfo(fileName).isFile())
        return false;
    selectInFileList(fileName);
    closeArchive();
    setCompressedLog(true);
    unpackEntry(fileName, index, true);
    return true;
}

void Field::unpackEntry(const QString &fileName, int index, bool named)
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    unpacked = std::make_unique<UnpackedLog>();
    // While the index runs, its end takes in what came meanwhile (below): the caret then counts
    // as on the last line only when it is.
    const auto takeIn = [this] {
        LargeLogView *large = largeLogView();
        if (large && !large->isIndexing())
            large->followGrowth();
        showUnpackNote();
    };
    connect(unpacked.get(), &UnpackedLog::grown, this, takeIn);
    connect(unpacked.get(), &UnpackedLog::finished, this, takeIn);
    // Small logs are held in memory and shown as any other; larger ones go on into a file.
    const bool started = unpacked->start(fileName, index, largeLogLimit);
    bool large = started && !unpacked->isWhole();
    QString content;
    if (started && !large) {
        content = logText(unpacked->head());
        large = hasOverlongLine(content);
    }
    if (large && !unpacked->continueToFile()) {
        // No room for the file: what is in memory shows in the ordinary view.
        large = false;
        content = logText(unpacked->head());
    }
    const QString title =
        named && started ? fileName + QLatin1Char('/') + unpacked->entryName() : fileName;
    showLog(large ? unpacked->filePath() : fileName, large ? QString() : content, large, title);
    content.clear();
    unpacked->releaseHead();
    if (large) {
        const UnpackedLog *log = unpacked.get();
        connect(largeLogView()->source(), &LineSource::loaded, log, [this, log] {
            if (log->isRunning() || largeLogView()->store().fileSize() < log->bytesOut())
                largeLogView()->followGrowth();
        });
    }
    showUnpackNote();
    QGuiApplication::restoreOverrideCursor();
}

void Field::showUnpackNote()
{
    if (!unpacked)
        return;
    if (unpacked->isRunning()) {
        showNote(tr("Unpacking... %1%").arg(unpacked->percent()));
        return;
    }
    const UnpackResult &result = unpacked->result();
    switch (result.outcome) {
    case UnpackResult::Complete:
    case UnpackResult::Stopped:
        note->hide();
        break;
    case UnpackResult::Damaged:
        showNote(tr("Only part of the log could be unpacked. %1").arg(result.error));
        break;
    case UnpackResult::LimitReached:
        showNote(tr("Only part of the log was unpacked, up to the limit of 20 times the free "
                    "space of the temporary folder. %1")
                     .arg(result.error));
        break;
    case UnpackResult::WriteFailed:
    case UnpackResult::Unreadable:
        showNote(result.error);
        break;
    }
}

bool Field::openFileAndMoveCursorToEnd(const QString &fileName)
{
    const bool opened = openFile(fileName);
    if (opened)
        moveCursorToEnd();
    return opened;
}

bool Field::reload()
{
    fillBrantelLogFilesToComboBox();
    const QString name = ui->fileNameInput->currentText();
    // A compressed log is unpacked again only when its file has changed; of a zip, the same
    // log opens again.
    const bool sameArchive = unpacked && unpacked->archive() == name;
    const bool opened = sameArchive && !unpacked->archiveChanged()
                            ? true
                            : openLog(name, sameArchive ? unpacked->entryName() : QString());
    if (opened)
        moveCursorToEnd();
    return opened;
}

QStringList Field::chooseLogFiles(QWidget *parent, QFileDialog::FileMode fileMode)
{
    QFileDialog dialog(parent, QString());
    dialog.setFileMode(fileMode);
    dialog.setDirectory(ApplicationSettings::instance().lastFileDialogPath());
    dialog.setNameFilter(logFileNameFilter());
    dialog.setViewMode(QFileDialog::Detail);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QStringList chosen = dialog.selectedFiles();
    ApplicationSettings::instance().setLastFileDialogPath(
        QFileInfo(chosen.first()).absoluteDir().absolutePath());
    return chosen;
}

void Field::selectAndOpenFile()
{
    // The main window is the dialog's parent, as for Add File(s).
    const QStringList chosen = chooseLogFiles(window(), QFileDialog::ExistingFile);
    if (!chosen.isEmpty())
        openFile(chosen.first());
}

void Field::setVisualizedTextAreaWidthBySliderPos(int value)
{
    ui->visualizedAreaWidthSlider->setRange(0, shown->widget()->width());
    if (value > 0) {
        shown->setVisualizedTextAreaWidth(value);
        ApplicationSettings::instance().setVisualizedAreaWidth(value);
    }
}

void Field::updateVisualizedAreaSlider()
{
    const int viewWidth = shown->widget()->width();
    const int areaWidth = shown->visualizedTextAreaWidth();
    QSlider *slider = ui->visualizedAreaWidthSlider;
    if (areaWidth > viewWidth) {
        // The view shows the strip narrower; the slider shows that without storing it.
        const QSignalBlocker blocker(slider);
        slider->setRange(0, viewWidth);
        slider->setValue(shown->shownStripWidth());
        return;
    }
    slider->setRange(0, viewWidth);
    slider->setValue(safetyFaultMode() ? viewWidth / 2 : areaWidth);
}

int Field::visualizedTextAreaWidth() const
{
    return shown->visualizedTextAreaWidth();
}

void Field::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateVisualizedAreaSlider();
    if (lineOrTime->isVisible())
        placeGoToInput();
}

void Field::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    updateVisualizedAreaSlider();
    // The details pane takes 150 pixels, the log view the rest.
    const QList<int> sizes = ui->splitter->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    if (sizes.size() == 2 && total > 250)
        ui->splitter->setSizes({total - 150, 150});
}
