// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "searchcore/finding.h"
#include "telegram/linedetails.h"

#include <QFileDialog>
#include <QPointer>
#include <QString>
#include <QVector>
#include <QWidget>
#include <memory>

class ArchiveEntryChooser;
class LargeLogView;
class ParameterHistoryWindow;
class LogTail;
class LogViewController;
class LogViewWidget;
class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class SearchOptions;
class UnpackedLog;
class VisualizedTextEdit;

namespace Ui
{
class Field;
}

// One log panel: the log view, its details pane, the file list, reload, the strip-width slider.
// A log opens in the ordinary view, or in the large-log view when it is too large for it; the
// panel holds one of them at a time and hands on its search, find-all and activation. A
// compressed log (gzip, bzip2, xz, zstd, a zip's log) is unpacked: into memory when it is small,
// else into a temporary file that the large-log view shows while a worker fills it.
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
    // "Parameter History" of the selected line's parameter (context menu and Ctrl+H); shown
    // only on telegram lines that carry a parameter.
    QAction *parameterHistoryAction() const { return history; }
    ParameterHistoryWindow *openParameterHistory();
    // "Save Selection As...": the selected lines written to a file (context menu).
    QAction *saveSelectionAction() const { return saveSelection; }
    bool isFollowing() const;
    // F8 and Shift+F8, also in the log view's context menu.
    QAction *nextErrorAction() const { return nextError; }
    QAction *previousErrorAction() const { return previousError; }
    // Ctrl+G: a small input over the log view's top right corner for a line number or a time.
    // Return goes there and closes it, Esc closes it; what cannot be read turns it red.
    void openGoToInput();
    QLineEdit *goToInput() const { return lineOrTime; }
    QPushButton *closeButton() const;

    // The note line under the file list (follow, unpacking, linked panels, go to, next error,
    // copy); empty while it is hidden.
    QString noteText() const;
    // Whether a compressed log is still being unpacked, and the temporary file it goes to (empty
    // for a log that is not in one).
    bool isUnpacking() const;
    QString unpackedFile() const;
    // The list of a zip's logs while the user chooses among them, else null.
    ArchiveEntryChooser *archiveEntryChooser() const;

public slots:
    bool openFile(const QString &fileName);
    bool openFileAndMoveCursorToEnd(const QString &fileName);
    // Opens log `index` of the zip `fileName`, which the file list shows.
    bool openArchiveEntry(const QString &fileName, int index);
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
    // The logs of a zip the user chose beyond the one this panel opens: each for a new panel.
    void archiveEntriesRequested(const QString &fileName, const QVector<int> &entries);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private slots:
    void fillBrantelLogFilesToComboBox();

private:
    bool safetyFaultMode() const { return mode.safetyFaults; }

    bool openLog(const QString &fileName, const QString &entryName);
    void selectInFileList(const QString &fileName);
    void showView(bool large);
    void showLog(const QString &fileName, const QString &content, bool large,
                 const QString &title = QString());
    void openArchive(const QString &fileName, bool zip, const QString &entryName);
    void unpackEntry(const QString &fileName, int index, bool named);
    void setCompressedLog(bool compressed);
    void closeArchive();
    void showUnpackNote();
    void showNote(const QString &text);
    void showViewNote(const QString &text);
    void placeGoToInput();
    void goToTyped();
    void closeGoToInput();
    void setFollowing(bool on);
    void startTail(const QString &fileName);
    void followReset();
    void stopFollowingAfterEdit();
    void offerParameterHistory();

    std::unique_ptr<Ui::Field> ui;
    LogViewWidget *shown = nullptr;
    QAction *follow;
    QAction *history;
    QAction *saveSelection;
    QVector<quint32> selectedParameters; // those the selected line carries
    LogTail *tail;
    QLabel *note;
    bool noteFromView = false;
    QAction *nextError;
    QAction *previousError;
    QLineEdit *lineOrTime;
    qint64 readOffset = 0; // bytes of the file the ordinary view shows
    std::unique_ptr<UnpackedLog> unpacked;
    QPointer<ArchiveEntryChooser> chooser;
    const DecodeMode mode;
    bool active = false;

public:
    const unsigned id; // from a process-wide counter; never reused within a run
};
