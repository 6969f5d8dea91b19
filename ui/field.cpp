#include "ui/field.h"

#include "app/applicationsettings.h"
#include "logstore/logstore.h"
#include "logstore/logtail.h"
#include "searchcore/searchoptions.h"
#include "telegram/telegramrecord.h"
#include "ui_field.h"
#include "view/largelogview.h"
#include "view/visualizedtextedit.h"

#include <QAction>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QSplitterHandle>
#include <QTextStream>
#include <QTimer>

namespace
{
unsigned fieldCounter = 0;

// Logs above either limit open in the large-log view: the ordinary view holds the whole text
// and lays out whole lines, which for such logs takes seconds and hundreds of megabytes.
constexpr qint64 largeLogBytes = qint64(16) << 20;
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

const QString activeFrameStyle = QStringLiteral("#frame{ border: 2px solid orange; }");
const QString inactiveFrameStyle = QStringLiteral("#frame{ border: 2px solid lightgray; }");
} // namespace

Field::Field(QWidget *parent, const QString &fileName, const DecodeMode &mode)
    : QWidget(parent), ui(std::make_unique<Ui::Field>()), mode(mode), id(fieldCounter++)
{
    ui->setupUi(this);
    ui->fileContents->setDecodeMode(mode);
    ui->fileContents->setId(id);
    // The large-log view takes the ordinary view's place for logs too big for it.
    largeView = new LargeLogView(ui->splitter);
    largeView->setObjectName(QStringLiteral("largeLogContents"));
    ui->splitter->insertWidget(1, largeView);
    ui->splitter->setCollapsible(1, false);
    largeView->hide();
    largeView->setDecodeMode(mode);
    largeView->setId(id);

    follow = new QAction(tr("Follow"), this);
    follow->setCheckable(true);
    follow->setShortcut(Qt::Key_F10);
    follow->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(follow);
    ui->fileContents->setExtraContextActions({follow});
    largeView->setExtraContextActions({follow});
    tail = new LogTail(this);
    note = new QLabel(this);
    note->setObjectName(QStringLiteral("followNote"));
    note->hide();
    ui->verticalLayout_2->insertWidget(3, note);
    connect(follow, &QAction::toggled, this, &Field::setFollowing);
    connect(tail, &LogTail::appended, this, [this](const QString &text) {
        if (!usesLargeView())
            ui->fileContents->appendLogText(text);
    });
    connect(tail, &LogTail::grown, largeView, &LargeLogView::followGrowth);
    connect(tail, &LogTail::reset, this, [this] {
        // Read anew once the window has had its turn: whatever is waiting (a click, a paint)
        // comes first, rather than after a reread of the whole file.
        tail->stop(); // the reading starts it again
        QTimer::singleShot(0, this, &Field::followReset);
    });
    connect(tail, &LogTail::vanished, this, [this] {
        note->setText(tr("The file is gone; following waits for it to come back."));
        note->show();
    });
    connect(tail, &LogTail::returned, note, &QWidget::hide);
    connect(ui->fileContents, &VisualizedTextEdit::textEditedByUser, this,
            &Field::stopFollowingAfterEdit);
    ui->selectedLineDetailsEdit->setFont(ApplicationSettings::textFont());

    for (QObject *watched : std::initializer_list<QObject *>{
             this, ui->selectedLineDetailsEdit, ui->visualizedAreaWidthSlider, ui->fileNameInput,
             ui->pushButtonOpenFile, ui->pushButtonReload, ui->fileContents,
             ui->splitter->handle(1)})
        watched->installEventFilter(this);

    ui->frame->setStyleSheet(inactiveFrameStyle);
    // Long paths are elided rather than widening the panel, and with it the window.
    ui->fileNameInput->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ui->fileNameInput->setMinimumContentsLength(8);
    fillBrantelLogFilesToComboBox();

    connect(ui->fileContents, &VisualizedTextEdit::visualizeLineSelected,
            ui->selectedLineDetailsEdit, &QPlainTextEdit::setPlainText);
    connect(ui->pushButtonReload, &QPushButton::clicked, this, &Field::reload);
    connect(ui->pushButtonOpenFile, &QPushButton::clicked, this, &Field::selectAndOpenFile);
    connect(ui->visualizedAreaWidthSlider, &QSlider::sliderMoved, this,
            &Field::setVisualizedTextAreaWidthBySliderPos);
    connect(ui->visualizedAreaWidthSlider, &QSlider::valueChanged, this,
            &Field::setVisualizedTextAreaWidthBySliderPos);
    connect(ui->fileContents, &VisualizedTextEdit::activated, this, &Field::onFieldClicked);
    connect(largeView, &LargeLogView::visualizeLineSelected, ui->selectedLineDetailsEdit,
            &QPlainTextEdit::setPlainText);
    connect(largeView, &LargeLogView::activated, this, &Field::onFieldClicked);
    connect(largeView, &LargeLogView::telegramLogDetected, this, [this] {
        if (safetyFaultMode())
            return;
        largeView->setVisualizedTextAreaEnabled(
            true, ApplicationSettings::instance().visualizedAreaWidth());
        updateVisualizedAreaSlider();
    });

    // The main window connects the close button, the activation and the search signals.
    if (safetyFaultMode()) {
        ui->pushButtonCloseField->hide();
        ui->fileNameInput->hide();
    }

    openFile(fileName);

    connect(ui->fileNameInput, &QComboBox::currentTextChanged, this, &Field::openFile);
}

Field::~Field() = default;

VisualizedTextEdit *Field::textEdit() const
{
    return ui->fileContents;
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
    ui->frame->setStyleSheet(active ? activeFrameStyle : inactiveFrameStyle);
}

void Field::onFieldClicked()
{
    setActive(true);
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

bool Field::isSentByMe(const VisualizedTextEdit *sender) const
{
    return sender && sender == ui->fileContents;
}

void Field::search(const SearchOptions &options)
{
    if (!active)
        return;
    if (usesLargeView())
        largeView->search(options);
    else
        ui->fileContents->search(options);
}

void Field::goTo(const Finding &finding)
{
    if (usesLargeView())
        largeView->goTo(finding);
    else
        ui->fileContents->goTo(finding);
}

bool Field::isFollowing() const
{
    return follow->isChecked();
}

QString Field::followNote() const
{
    return note->isHidden() ? QString() : note->text();
}

void Field::setFollowing(bool on)
{
    note->hide();
    if (!on) {
        tail->stop();
        return;
    }
    const QString name = ui->fileNameInput->currentText();
    if (usesLargeView()) {
        tail->start(name, QFileInfo(name).size(), false);
        largeView->followGrowth(); // what came while following was off
    } else {
        tail->start(name, readOffset, true);
        tail->check();
    }
}

void Field::followReset()
{
    // Shrunk, replaced or back after vanishing: read again, and keep to the end if there.
    note->hide();
    bool atEnd;
    if (usesLargeView()) {
        atEnd = largeView->caretPosition().line >= largeView->store().lineCount() - 1;
    } else {
        const QTextCursor caret = ui->fileContents->textCursor();
        atEnd = caret.blockNumber() == ui->fileContents->blockCount() - 1;
    }
    const bool opened = openFile(ui->fileNameInput->currentText());
    if (opened && atEnd)
        moveCursorToEnd();
}

void Field::stopFollowingAfterEdit()
{
    if (!follow->isChecked())
        return;
    follow->setChecked(false);
    note->setText(tr("Follow stopped: the text was edited."));
    note->show();
}

bool Field::usesLargeView() const
{
    return !largeView->isHidden();
}

LargeLogView *Field::largeLogView() const
{
    return largeView;
}

void Field::moveCursorToEnd()
{
    if (usesLargeView())
        largeView->moveCursorToEnd();
    else
        ui->fileContents->moveCursorToEnd();
}

bool Field::isSentByMe(const QObject *sender) const
{
    return sender && (sender == ui->fileContents || sender == largeView);
}

bool Field::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::FocusIn)
        emit ui->fileContents->activated();
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
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);

    // Only regular files: opening a FIFO or a device for reading could block the program.
    QFile file(fileName);
    const bool opened =
        QFileInfo(fileName).isFile() && file.open(QIODevice::ReadOnly | QIODevice::Text);
    if (opened) {
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

    QString content;
    bool large = opened && QFileInfo(fileName).size() > largeLogBytes;
    if (opened && !large) {
        QTextStream stream(&file);
        content = stream.readAll();
        readOffset = file.pos();
        large = hasOverlongLine(content);
    }
    largeView->setVisible(large);
    ui->fileContents->setVisible(!large);
    if (large) {
        content.clear();
        ui->fileContents->setLogText(fileName, content);
        if (!safetyFaultMode()) {
            // The strip comes when the indexer finds the marker.
            largeView->setVisualizedTextAreaEnabled(false, 0);
            ui->visualizedAreaWidthSlider->setValue(ui->visualizedAreaWidthSlider->minimum());
        }
        largeView->openLog(fileName);
        if (follow->isChecked())
            tail->start(fileName, QFileInfo(fileName).size(), false);
        QGuiApplication::restoreOverrideCursor();
        return opened;
    }
    largeView->closeLog();

    if (!safetyFaultMode()) {
        const bool telegramLog = content.contains(commMarker);
        ui->fileContents->setVisualizedTextAreaEnabled(telegramLog);
        if (telegramLog) {
            ui->fileContents->setVisualizedTextAreaWidth(
                ApplicationSettings::instance().visualizedAreaWidth());
            updateVisualizedAreaSlider();
        } else {
            ui->visualizedAreaWidthSlider->setValue(ui->visualizedAreaWidthSlider->minimum());
        }
    }

    ui->fileContents->setLogText(fileName, content);
    if (follow->isChecked())
        tail->start(fileName, opened ? readOffset : 0, true);
    QGuiApplication::restoreOverrideCursor();
    return opened;
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
    const bool opened = openFile(ui->fileNameInput->currentText());
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
    ui->visualizedAreaWidthSlider->setRange(0, ui->fileContents->width());
    if (value > 0) {
        if (usesLargeView())
            largeView->setVisualizedTextAreaWidth(value);
        else
            ui->fileContents->setVisualizedTextAreaWidth(value);
        ApplicationSettings::instance().setVisualizedAreaWidth(value);
    }
}

void Field::updateVisualizedAreaSlider()
{
    VisualizedTextEdit *view = ui->fileContents;
    const bool large = usesLargeView();
    const int viewWidth = large ? largeView->width() : view->width();
    const int areaWidth =
        large ? largeView->visualizedTextAreaWidth() : view->visualizedTextAreaWidth();
    QSlider *slider = ui->visualizedAreaWidthSlider;
    if (areaWidth > viewWidth) {
        // The view shows the strip narrower; the slider shows that without storing it.
        const QSignalBlocker blocker(slider);
        slider->setRange(0, viewWidth);
        slider->setValue(large ? largeView->shownStripWidth()
                               : view->shownStripWidth(view->lineNumberAreaWidth()));
        return;
    }
    slider->setRange(0, viewWidth);
    slider->setValue(safetyFaultMode() ? viewWidth / 2 : areaWidth);
}

void Field::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateVisualizedAreaSlider();
}

void Field::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    updateVisualizedAreaSlider();
    // The two log views share the first place; one of them is hidden.
    const QList<int> sizes = ui->splitter->sizes();
    const int total = sizes.value(0) + sizes.value(1) + sizes.value(2);
    if (sizes.size() == 3 && total > 250) {
        const int view = total - 150;
        ui->splitter->setSizes({view, view, 150});
    }
}
