#pragma once

#include "searchcore/finding.h"
#include "telegram/linedetails.h"

#include <QFileDialog>
#include <QString>
#include <QWidget>
#include <memory>

class LargeLogView;
class LogTail;
class LogViewController;
class LogViewWidget;
class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class SearchOptions;
class VisualizedTextEdit;

namespace Ui
{
class Field;
}

// One log panel: the log view, its details pane, the file list, reload, the strip-width slider.
// A log opens in the ordinary view, or in the large-log view when it is too large for it; the
// panel holds one of them at a time and hands on its search, find-all and activation.
class Field : public QWidget
{
    Q_OBJECT

public:
    Field(QWidget *parent, const QString &fileName, const DecodeMode &mode = DecodeMode());
    ~Field() override;

    QString fileName() const;
    void setActive(bool active);
    bool isActive() const { return active; }
    static QString logFileNameFilter();
    static QString logFolder();
    // The file dialog of Browse... and Add File(s); remembers the folder of an accepted choice.
    static QStringList chooseLogFiles(QWidget *parent, QFileDialog::FileMode fileMode);
    void updateVisualizedAreaSlider();
    // The strip's set width in the shown view.
    int visualizedTextAreaWidth() const;

    // The log view shown, its behaviour, and the view as one of its two kinds (else null).
    LogViewWidget *view() const;
    LogViewController *logView() const;
    VisualizedTextEdit *textEdit() const;
    LargeLogView *largeLogView() const;
    // Logs above this many bytes, or with a line over 10,000 characters, open in the large-log
    // view: the ordinary view holds the whole text and lays out whole lines.
    static qint64 largeLogBytes();
    static void setLargeLogBytes(qint64 bytes);

    void moveCursorToEnd();
    // Follow: new lines of the file appear as it is written (context menu and F10).
    QAction *followAction() const { return follow; }
    bool isFollowing() const;
    // The note line under the file list (follow, linked panels, go to, next error); empty while
    // it is hidden.
    QString followNote() const;
    // F8 and Shift+F8, also in the log view's context menu.
    QAction *nextErrorAction() const { return nextError; }
    QAction *previousErrorAction() const { return previousError; }
    // Ctrl+G: a small input over the log view's top right corner for a line number or a time.
    // Return goes there and closes it, Esc closes it; what cannot be read turns it red.
    void openGoToInput();
    QLineEdit *goToInput() const { return lineOrTime; }
    QPushButton *closeButton() const;

public slots:
    bool openFile(const QString &fileName);
    bool openFileAndMoveCursorToEnd(const QString &fileName);
    bool reload();
    void selectAndOpenFile();
    bool isSentByMe(const QPushButton *sender) const;
    bool isSentByMe(const QObject *sender) const;
    void search(const SearchOptions &options);
    void setVisualizedTextAreaWidthBySliderPos(int value);
    void onFieldClicked();
    void goTo(const Finding &finding);
    void cancelFindAll();

signals:
    // What the shown view's behaviour reports, whichever view it is.
    void activated();
    void searchFinished(bool found);
    void start(QString fileName, QString searchText);
    void foundBatch(const FoundBatch &batch);
    void findAllProgress(int percent);
    void end(qint64 count, bool cancelled);
    // Another log view took the old one's place (a log of the other kind was opened).
    void viewReplaced(QWidget *view);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private slots:
    void fillBrantelLogFilesToComboBox();

private:
    bool safetyFaultMode() const { return mode.safetyFaults; }

    void showView(bool large);
    void showNote(const QString &text);
    void showNavigationNote(const QString &text);
    void placeGoToInput();
    void goToTyped();
    void closeGoToInput();
    void setFollowing(bool on);
    void startTail(const QString &fileName);
    void followReset();
    void stopFollowingAfterEdit();

    std::unique_ptr<Ui::Field> ui;
    LogViewWidget *shown = nullptr;
    QAction *follow;
    LogTail *tail;
    QLabel *note;
    bool noteFromNavigation = false;
    QAction *nextError;
    QAction *previousError;
    QLineEdit *lineOrTime;
    qint64 readOffset = 0; // bytes of the file the ordinary view shows
    const DecodeMode mode;
    bool active = false;

public:
    const unsigned id; // from a process-wide counter; never reused within a run
};
