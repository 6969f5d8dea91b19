#pragma once

#include "ui_field.h"

#include <QString>
#include <QWidget>

class Finding;
class QPushButton;
class SearchOptions;
class VisualizedTextEdit;

// One log panel: the log view, its details pane, the file list, reload, the strip-width slider.
class Field : public QWidget
{
    Q_OBJECT

public:
    Field(QWidget *parent, const QString &fileName);

    QString fileName() const;
    void setActive(bool active);
    bool isActive() const { return active; }
    static QString logFileNameFilter();
    static QString logFolder();
    void updateVisualizedAreaSlider();

    VisualizedTextEdit *textEdit() const { return ui.fileContents; }

public slots:
    bool openFile(const QString &fileName);
    bool openFileAndMoveCursorToEnd(const QString &fileName);
    bool reload();
    void selectAndOpenFile();
    bool isSentByMe(const QPushButton *sender) const;
    bool isSentByMe(const VisualizedTextEdit *sender) const;
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
    bool safetyFaultMode() const;

    Ui::Field ui;
    bool active = false;

public:
    const unsigned id; // from a process-wide counter; never reused within a run
};
