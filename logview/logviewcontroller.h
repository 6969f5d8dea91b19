// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logview/linetimes.h"
#include "logview/logviewport.h"
#include "searchcore/finding.h"
#include "searchcore/linesource.h"
#include "telegram/linedetails.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

class ErrorMarks;
class SearchOptions;
class SearchState;

// The behaviour of a log view, the same whatever widget shows the log and whatever holds its
// lines: the steps of a search with their wrap-around and not-found memory, the find-all and its
// batches, going to a finding, the selected line and its details, what Select All and Copy take.
// The widget lays out, paints, scrolls and takes keys and the mouse, and tells this object when
// its caret moved or the user pressed it.
class LogViewController : public QObject
{
    Q_OBJECT

public:
    LogViewController(LogViewport *viewport, QObject *parent);
    ~LogViewController() override;

    // The lines shown; their changes clear the not-found memory and end a find-all's rows' reads.
    void setSource(LineSource *source);
    LineSource *source() const { return lines; }
    void setDecodeMode(const DecodeMode &mode) { decodeMode = mode; }
    const DecodeMode &mode() const { return decodeMode; }
    // The panel's id, which every finding carries back to it.
    void setId(unsigned id) { fieldId = id; }
    unsigned id() const { return fieldId; }
    SearchState *searchState() const { return state; }

    // The line whose details show and whose rows are marked.
    qint64 selectedLine() const { return selected; }
    // The widget's caret moved; the selected line follows it. A new log announces its details
    // even when the line number stays.
    void caretMoved();
    void logReplaced();
    // The details of the selected line go out (again) once the event loop runs; before the
    // first caret move no line is selected, and the details say "Line 0:".
    void announceSelectedLine();
    // A press in the view: the panel becomes the active one, and the not-found memory and the
    // found palette go.
    void pressed();

    // Every character selected, the selected line staying where it is.
    void selectAll();
    // The selected text, lines joined by line feeds, as the ordinary view's copy gives it.
    QString selectedText() const;
    // Copies the selection, unless it is larger than copyLimit characters: then the panel's
    // note says to save it instead.
    void copy();
    // Writes the selected lines, whole, to `fileName`: a file store's bytes from a worker thread
    // with progress, the document's text at once. False when the file cannot be written.
    bool saveSelection(const QString &fileName);
    // Reading and joining 4 million characters takes the better part of 100 ms; a clipboard that
    // holds more is more than the editors and mails a log is pasted into take in comfortably.
    static constexpr qint64 copyLimit = 4000000;
    // The texts of `rows` as the strip decodes them.
    QStringList rowTexts(const QVector<VisibleRow> &rows) const;
    // Scrolls the caret into view.
    void ensureCaretVisible();
    // Selects the start of `line` and scrolls it to the middle of the view.
    void selectLine(qint64 line);
    // The texts of the lines on screen and the selected line's place among them, as the strip
    // decodes them; -1 when the selected line is not on screen.
    QStringList shownLineTexts(int *selectedIndex) const;
    // Whether the caret's line is on screen whole.
    bool caretInView() const;
    bool caretOnLastLine() const;

    // Telegrams and fault records are short; of a longer line only this much is decoded.
    static constexpr int decodedLineLimit = 10000;

    // The panel that shows this view is the active one: its moves lead linked panels.
    void setActive(bool on) { active = on; }
    bool isActive() const { return active; }

    // Selects `line` (its start, no text selected) in the middle of the view.
    void showLine(qint64 line);
    // The time of the selected line, or linetime::none.
    qint64 selectedLineTime();
    // The same for the views linked to this one; when there is none, the note says so.
    qint64 timeToLinkBy();
    // Selects the last line whose time is at or before `time`, in the middle of the view; the
    // note says when the time is outside the log's or the log has none (then nothing moves).
    TimePlace goToTime(qint64 time);
    // A line number from 1, or a time: "HH:mm:ss[.zzz]" on the day of the log's first time, or
    // a date and time as the log writes them. False for anything else; the view stays.
    bool goToLineOrTime(const QString &typed);

    ErrorMarks *errorMarks() const { return marks; }
    // Selects the next error line (backward: the previous one), wrapping around at the ends.
    void goToNextError(bool backward);
    // A press at pixel row `y` of the mark column `height` pixels high selects the line marked
    // there, or the nearest within a few pixels.
    void pressMarkColumn(int y, int height);

public slots:
    void search(const SearchOptions &options);
    void findAll(const QString &keyword, Qt::CaseSensitivity caseSensitivity);
    void cancelFindAll();
    void goTo(const Finding &finding);

signals:
    void visualizeLineSelected(QString details);
    void activated();
    void searchFinished(bool found);
    void start(QString fileName, QString searchText);
    void foundBatch(const FoundBatch &batch);
    void findAllProgress(int percent);
    void end(qint64 count, bool cancelled);
    // The selected line moved to another line.
    void selectedLineMoved();
    // What the panel's note line says of the view's last action (a move, a copy refused, a save's
    // progress); empty: nothing any more.
    void note(const QString &text);

private:
    void step(const QString &text, Qt::CaseSensitivity sensitivity, bool wholeWords, int direction);
    void scheduleDetails();
    void emitDetails();
    void onSourceChanged();
    void onFound(const FoundBatch &batch);
    void setNote(const QString &text);

    LogViewport *viewport;
    QPointer<LineSource> lines;
    SearchState *state;
    DecodeMode decodeMode;
    unsigned fieldId = 0;
    qint64 selected = -1;
    bool detailsScheduled = false;
    bool detailsDue = true;
    // The selected line was announced before its text was there (a log still being read).
    bool detailsIncomplete = false;
    bool findAllRunning = false;
    std::shared_ptr<std::atomic<bool>> saving; // set to stop the running save
    bool active = false;
    LineTimes times;
    ErrorMarks *marks;
    // The move under way was asked for (go to, link, next error): it keeps the note it gives.
    bool navigating = false;
    bool noteShown = false;
};
