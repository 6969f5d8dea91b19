#include "ui/field.h"

#include "app/applicationsettings.h"
#include "searchcore/searchoptions.h"
#include "telegram/telegramrecord.h"
#include "ui_field.h"
#include "view/visualizedtextedit.h"

#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSignalBlocker>
#include <QSlider>
#include <QSplitterHandle>
#include <QTextStream>

namespace
{
unsigned fieldCounter = 0;

// Laying out a line of millions of characters freezes the window for seconds; such lines (binary
// dumps, logs without line ends) are shown broken into pieces of this many characters.
constexpr int longestShownLine = 10000;

void breakOverlongLines(QString &text)
{
    const int length = text.size();
    bool tooLong = false;
    for (int start = 0; start < length && !tooLong;) {
        int end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = length;
        tooLong = end - start > longestShownLine;
        start = end + 1;
    }
    if (!tooLong)
        return;

    QString broken;
    broken.reserve(length + length / longestShownLine + 1);
    int run = 0;
    for (const QChar c : qAsConst(text)) {
        if (c == QLatin1Char('\n')) {
            run = -1;
        } else if (run >= longestShownLine && !c.isLowSurrogate()) {
            broken += QLatin1Char('\n');
            run = 0;
        }
        broken += c;
        ++run;
    }
    text = broken;
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
    if (active)
        ui->fileContents->search(options);
}

void Field::goTo(const Finding &finding)
{
    ui->fileContents->goTo(finding);
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
    if (opened) {
        QTextStream stream(&file);
        content = stream.readAll();
        breakOverlongLines(content);
    }

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
    QGuiApplication::restoreOverrideCursor();
    return opened;
}

bool Field::openFileAndMoveCursorToEnd(const QString &fileName)
{
    const bool opened = openFile(fileName);
    if (opened)
        ui->fileContents->moveCursorToEnd();
    return opened;
}

bool Field::reload()
{
    fillBrantelLogFilesToComboBox();
    const bool opened = openFile(ui->fileNameInput->currentText());
    if (opened)
        ui->fileContents->moveCursorToEnd();
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
        ui->fileContents->setVisualizedTextAreaWidth(value);
        ApplicationSettings::instance().setVisualizedAreaWidth(value);
    }
}

void Field::updateVisualizedAreaSlider()
{
    VisualizedTextEdit *view = ui->fileContents;
    const int viewWidth = view->width();
    const int areaWidth = view->visualizedTextAreaWidth();
    QSlider *slider = ui->visualizedAreaWidthSlider;
    if (areaWidth > viewWidth) {
        // The view shows the strip narrower; the slider shows that without storing it.
        const QSignalBlocker blocker(slider);
        slider->setRange(0, viewWidth);
        slider->setValue(view->shownStripWidth(view->lineNumberAreaWidth()));
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
    const QList<int> sizes = ui->splitter->sizes();
    if (sizes.size() == 2 && sizes[0] + sizes[1] > 250)
        ui->splitter->setSizes({sizes[0] + sizes[1] - 150, 150});
}
