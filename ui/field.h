#pragma once

#include "telegram/linedetails.h"

#include <QFileDialog>
#include <QString>
#include <QWidget>
#include <memory>

class Finding;
class LargeLogView;
class LogTail;
class QAction;
class QLabel;
class QPushButton;
class SearchOptions;
class VisualizedTextEdit;

namespace Ui
{
class Field;
}

// One log panel: the log view, its details pane, the file list, reload, the strip-width slider.
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

    VisualizedTextEdit *textEdit() const;
    // The view of logs too large for the ordinary one; shown instead of it for such logs.
    LargeLogView *largeLogView() const;
    bool usesLargeView() const;
    void moveCursorToEnd();
    // Follow: new lines of the file appear as it is written (context menu and F10).
    QAction *followAction() const { return follow; }
    bool isFollowing() const;
    QString followNote() const;
    QPushButton *closeButton() const;

public slots:
    bool openFile(const QString &fileName);
    bool openFileAndMoveCursorToEnd(const QString &fileName);
    bool reload();
    void selectAndOpenFile();
    bool isSentByMe(const QPushButton *sender) const;
    bool isSentByMe(const VisualizedTextEdit *sender) const;
    bool isSentByMe(const QObject *sender) const; // either log view
    void search(const SearchOptions &options);
    void setVisualizedTextAreaWidthBySliderPos(int value);
    void onFieldClicked();
    void goTo(const Finding &finding);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private slots:
    void fillBrantelLogFilesToComboBox();

private:
    bool safetyFaultMode() const { return mode.safetyFaults; }

    void setFollowing(bool on);
    void followReset();
    void stopFollowingAfterEdit();

    std::unique_ptr<Ui::Field> ui;
    LargeLogView *largeView;
    QAction *follow;
    LogTail *tail;
    QLabel *note;
    qint64 readOffset = 0; // bytes of the file the ordinary view shows
    const DecodeMode mode;
    bool active = false;

public:
    const unsigned id; // from a process-wide counter; never reused within a run
};
