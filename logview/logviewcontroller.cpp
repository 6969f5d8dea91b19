// SPDX-License-Identifier: GPL-3.0-or-later
#include "logview/logviewcontroller.h"

#include "logview/errormarks.h"
#include "searchcore/linesource.h"
#include "searchcore/searchoptions.h"
#include "searchcore/searchstate.h"
#include "searchcore/searchtext.h"
#include "settings/scopetimer.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QThreadPool>

namespace
{
constexpr qint64 dayMs = 24 * 3600 * 1000;

// A time of day typed as "HH:mm:ss[.zzz]", in ms; -1 when it is not one.
qint64 typedTimeOfDay(const QString &typed)
{
    static const QRegularExpression form(
        QStringLiteral("^([0-9]{1,2}):([0-9]{2}):([0-9]{2})(?:[.,]([0-9]{1,3}))?$"));
    const QRegularExpressionMatch match = form.match(typed);
    if (!match.hasMatch())
        return -1;
    const int hours = match.captured(1).toInt();
    const int minutes = match.captured(2).toInt();
    const int seconds = match.captured(3).toInt();
    if (hours > 23 || minutes > 59 || seconds > 59)
        return -1;
    // Fractions of a second, as a log line's: ".5" is half a second.
    const int milliseconds = match.captured(4).leftJustified(3, QLatin1Char('0')).toInt();
    return ((hours * 60 + minutes) * 60 + seconds) * qint64(1000) + milliseconds;
}

// A date and time typed as a log line writes them; linetime::none when it is not one.
qint64 typedDateTime(const QString &typed)
{
    static const QRegularExpression form(QStringLiteral(
        "^[0-9]{4}-[0-9]{2}-[0-9]{2}[ T][0-9]{2}:[0-9]{2}:[0-9]{2}(?:[.,][0-9]+)?$"));
    return form.match(typed).hasMatch() ? linetime::lineTime(typed) : linetime::none;
}
} // namespace

LogViewController::LogViewController(LogViewport *viewport, QObject *parent)
    : QObject(parent), viewport(viewport), state(new SearchState(this)), marks(new ErrorMarks(this))
{
}

LogViewController::~LogViewController()
{
    if (saving)
        saving->store(true);
}

void LogViewController::setSource(LineSource *source)
{
    if (lines == source)
        return;
    if (lines) {
        lines->cancelFindAll();
        disconnect(lines, nullptr, this, nullptr);
    }
    lines = source;
    state->clearNotFoundText();
    times.setSource(source);
    marks->setSource(source);
    if (!lines)
        return;
    connect(lines, &LineSource::changed, this, &LogViewController::onSourceChanged);
    connect(lines, &LineSource::found, this, &LogViewController::onFound);
    connect(lines, &LineSource::findAllProgress, this, &LogViewController::findAllProgress);
    connect(lines, &LineSource::findAllEnded, this, [this](qint64 count, bool cancelled) {
        if (!findAllRunning)
            return;
        findAllRunning = false;
        emit end(count, cancelled);
    });
}

void LogViewController::onSourceChanged()
{
    // Text that was found nowhere may be there now.
    state->clearNotFoundText();
    times.forget();
    if (detailsIncomplete) {
        detailsDue = true;
        scheduleDetails();
    }
}

void LogViewController::caretMoved()
{
    const qint64 line = viewport->caretPosition().line;
    if (line == selected && !detailsDue)
        return;
    const bool moved = line != selected;
    selected = line;
    detailsDue = true;
    viewport->selectedLineChanged();
    scheduleDetails();
    if (!moved)
        return;
    if (noteShown && !navigating)
        setNote(QString());
    emit selectedLineMoved();
}

void LogViewController::logReplaced()
{
    selected = viewport->caretPosition().line;
    detailsDue = true;
    state->clearNotFoundText();
    times.forget();
    marks->restart();
    viewport->selectedLineChanged();
    scheduleDetails();
}

void LogViewController::announceSelectedLine()
{
    detailsDue = true;
    scheduleDetails();
}

void LogViewController::pressed()
{
    viewport->setFoundPalette(false);
    state->clearNotFoundText();
    emit activated();
}

void LogViewController::scheduleDetails()
{
    // Once the event loop runs again, when the view has scrolled to the new line, so that the
    // decoded context is the one on screen.
    if (detailsScheduled)
        return;
    detailsScheduled = true;
    QMetaObject::invokeMethod(this, &LogViewController::emitDetails, Qt::QueuedConnection);
}

void LogViewController::emitDetails()
{
    detailsScheduled = false;
    if (!detailsDue || !lines)
        return;
    detailsDue = false;
    const qint64 count = lines->lineCount();
    detailsIncomplete = lines->isLoading() && selected >= count - 1;
    const QVector<VisibleRow> rows = viewport->visibleRows();
    const qint64 first = rows.isEmpty() ? selected : rows.first().line;
    const qint64 last = rows.isEmpty() ? selected : rows.last().line;
    const LineSource *source = lines;
    const auto read = [source](int line) {
        return source->lineSlice(line, 0, LineSource::shownLineLimit);
    };
    QString details = selectedLineDetails(read, int(qMax<qint64>(1, count)), int(selected),
                                          int(first), int(last), decodeMode);
    // A line that shows as its own text says so when it is cut.
    const qint64 length = selected >= 0 && selected < count ? lines->lineLength(selected) : 0;
    if (length > LineSource::shownLineLimit &&
        details == plainDetailsLine(selected + 1, read(int(selected))))
        details =
            plainDetailsLine(selected + 1, LineSource::shownLineText(read(int(selected)), length));
    emit visualizeLineSelected(details);
}

QStringList LogViewController::rowTexts(const QVector<VisibleRow> &rows) const
{
    if (rows.isEmpty() || !lines)
        return {};
    return lines->lineHeads(rows.first().line, rows.size(), decodedLineLimit);
}

void LogViewController::selectAll()
{
    if (!lines)
        return;
    const qint64 kept = selected;
    viewport->select(TextPosition(), lines->endPosition(), false);
    // Select All leaves the selected line, its mark and its details where they were.
    if (selected != kept) {
        selected = kept;
        detailsDue = false;
        viewport->selectedLineChanged();
    }
}

QString LogViewController::selectedText() const
{
    if (!lines)
        return QString();
    const TextPosition anchor = viewport->anchorPosition();
    const TextPosition caret = viewport->caretPosition();
    const TextPosition from = qMin(anchor, caret);
    const TextPosition to = qMax(anchor, caret);
    QString text;
    if (from.line == to.line) {
        text = lines->lineSlice(from.line, from.column, to.column - from.column);
    } else {
        // One string of the final size, filled a few thousand lines at a time: the lines of a
        // large selection never exist as separate strings all at once.
        text.reserve(int(qMin<qint64>(lines->positionOf(to) - lines->positionOf(from), INT_MAX)));
        text += lines->lineSlice(from.line, from.column, INT_MAX);
        constexpr qint64 piece = 4096;
        for (qint64 line = from.line + 1; line < to.line; line += piece) {
            for (const QString &lineText : lines->lineTexts(line, qMin(piece, to.line - line))) {
                text += QLatin1Char('\n');
                text += lineText;
            }
        }
        text += QLatin1Char('\n');
        text += lines->lineSlice(to.line, 0, to.column);
    }
    // As the document's plain text gives it.
    text.replace(QChar::Nbsp, QLatin1Char(' '));
    return text;
}

void LogViewController::copy()
{
    const TextPosition anchor = viewport->anchorPosition();
    const TextPosition caret = viewport->caretPosition();
    if (anchor == caret || !lines)
        return;
    if (qAbs(lines->positionOf(caret) - lines->positionOf(anchor)) > copyLimit) {
        setNote(tr("The selection is too large to copy; \"Save Selection As...\" writes it "
                   "to a file."));
        return;
    }
    QGuiApplication::clipboard()->setText(selectedText());
}

bool LogViewController::saveSelection(const QString &fileName)
{
    if (!lines)
        return false;
    const TextPosition anchor = viewport->anchorPosition();
    const TextPosition caret = viewport->caretPosition();
    const qint64 first = qMin(anchor, caret).line;
    const qint64 last = qMax(anchor, caret).line;
    if (saving)
        saving->store(true);
    QString logFile;
    qint64 from = 0, to = 0;
    if (!lines->byteRange(first, last, &logFile, &from, &to)) {
        QFile out(fileName);
        if (!out.open(QIODevice::WriteOnly))
            return false;
        for (qint64 line = first; line <= last; ++line)
            out.write(lines->lineText(line).toUtf8() + '\n');
        setNote(tr("Saved %1 lines to %2.").arg(last - first + 1).arg(fileName));
        return out.error() == QFileDevice::NoError;
    }
    QFile probe(fileName);
    if (!probe.open(QIODevice::WriteOnly))
        return false;
    probe.close();
    // The bytes as the file holds them, copied by a worker; the note shows how far it is.
    auto stop = std::make_shared<std::atomic<bool>>(false);
    saving = stop;
    const QPointer<LogViewController> self(this);
    const qint64 lineCount = last - first + 1;
    const auto tell = [self, stop](const QString &text) {
        QMetaObject::invokeMethod(
            qApp,
            [self, stop, text] {
                if (self && !stop->load())
                    self->setNote(text);
            },
            Qt::QueuedConnection);
    };
    QThreadPool::globalInstance()->start([logFile, fileName, from, to, stop, tell, lineCount] {
        QFile in(logFile);
        QFile out(fileName);
        bool ok = in.open(QIODevice::ReadOnly) && in.seek(from) && out.open(QIODevice::WriteOnly);
        QByteArray chunk;
        int shown = -1;
        for (qint64 done = 0; ok && done < to - from && !stop->load();) {
            chunk = in.read(qMin<qint64>(qint64(1) << 20, to - from - done));
            ok = !chunk.isEmpty() && out.write(chunk) == chunk.size();
            done += chunk.size();
            const int percent = int(done * 100 / qMax<qint64>(1, to - from));
            if (percent != shown) {
                shown = percent;
                tell(tr("Saving the selection... %1%").arg(percent));
            }
        }
        tell(ok ? tr("Saved %1 lines to %2.").arg(lineCount).arg(fileName)
                : tr("The selection could not be saved to %1.").arg(fileName));
    });
    return true;
}

void LogViewController::ensureCaretVisible()
{
    viewport->select(viewport->anchorPosition(), viewport->caretPosition(), true);
}

bool LogViewController::caretInView() const
{
    const qint64 line = viewport->caretPosition().line;
    const QVector<VisibleRow> rows = viewport->visibleRows();
    for (const VisibleRow &row : rows) {
        if (row.line == line)
            return row.top >= 0 && row.top + viewport->lineHeight() <= viewport->viewportHeight();
    }
    return false;
}

bool LogViewController::caretOnLastLine() const
{
    return lines && viewport->caretPosition().line >= lines->lineCount() - 1;
}

void LogViewController::search(const SearchOptions &options)
{
    ScopeTimer timer("LogViewController::search");
    viewport->setFoundPalette(true);
    const SearchPattern pattern = searchPattern(options.searchMode, options.text);
    if (pattern.text.isEmpty() || !lines) {
        const qint64 line = viewport->caretPosition().line;
        viewport->select({line, 0}, {line, 0}, true);
        state->clearNotFoundText();
        emit searchFinished(false);
        return;
    }
    if (options.searchDirection == FindAll) {
        findAll(pattern.text, pattern.findAllCase);
        return;
    }
    if (state->rulesOut(pattern.text)) {
        emit searchFinished(false);
        return;
    }
    step(pattern.text, pattern.stepCase, pattern.wholeWords, options.searchDirection);
}

void LogViewController::step(const QString &text, Qt::CaseSensitivity sensitivity, bool wholeWords,
                             int direction)
{
    const bool backward = direction == FindPrevious;
    if (direction == FindFromLineStart) {
        const qint64 line = viewport->caretPosition().line;
        viewport->select({line, 0}, {line, 0}, true);
    }
    const TextPosition anchor = viewport->anchorPosition();
    const TextPosition caret = viewport->caretPosition();
    const TextPosition from = backward ? qMin(anchor, caret) : qMax(anchor, caret);

    // From the selection to the far end, then once more after wrapping. Everything from where
    // the first scan began to the far end is then known to hold no match, so the second scan
    // stops at the line in which the first one started.
    LineMatch match = lines->find(text, sensitivity, wholeWords, from, backward);
    if (!match.isValid()) {
        // The wrap shows the far end first, as a second find from there would: the end with its
        // last character selected backwards, else the start.
        TextPosition wrapFrom;
        qint64 stopLine;
        if (backward) {
            const TextPosition end = lines->endPosition();
            const qint64 endAt = lines->positionOf(end);
            TextPosition before = end;
            if (endAt > 0) {
                before = lines->positionAt(endAt - 1);
                const QString pair = before.column > 0
                                         ? lines->lineSlice(before.line, before.column - 1, 2)
                                         : QString();
                if (pair.size() == 2 && pair.at(1).isLowSurrogate() && pair.at(0).isHighSurrogate())
                    --before.column;
            }
            viewport->select(end, before, true);
            wrapFrom = before;
            const qint64 fromAt = lines->positionOf(from);
            stopLine = fromAt > 0 ? lines->lineAtPosition(fromAt - 1) : -1;
        } else {
            viewport->select(TextPosition(), TextPosition(), true);
            stopLine = from.line;
        }
        match = lines->find(text, sensitivity, wholeWords, wrapFrom, backward, stopLine);
    }
    if (!match.isValid()) {
        viewport->select(anchor, caret, true);
        state->rememberNotFound(text);
        emit searchFinished(false);
        return;
    }
    viewport->select(match.start, {match.start.line, match.start.column + match.length}, true);
    state->clearNotFoundText();
    emit searchFinished(true);
}

void LogViewController::findAll(const QString &keyword, Qt::CaseSensitivity caseSensitivity)
{
    if (!lines)
        return;
    // One find-all at a time: a running one ends, with what it found so far, before this one.
    lines->cancelFindAll();
    emit start(lines->title(), keyword);
    findAllRunning = true;
    lines->startFindAll(keyword, caseSensitivity);
}

void LogViewController::cancelFindAll()
{
    if (lines && findAllRunning)
        lines->cancelFindAll();
}

void LogViewController::onFound(const FoundBatch &batch)
{
    if (!findAllRunning)
        return;
    FoundBatch stamped = batch;
    for (Finding &finding : stamped.findings)
        finding.fieldId = fieldId;
    emit foundBatch(stamped);
}

void LogViewController::selectLine(qint64 line)
{
    if (!lines)
        return;
    const qint64 shown = qBound(qint64(0), line, lines->lineCount() - 1);
    viewport->select({shown, 0}, {shown, 0}, true);
    viewport->scrollToLine(shown - viewport->visibleLineCount() / 2);
}

QStringList LogViewController::shownLineTexts(int *selectedIndex) const
{
    const QVector<VisibleRow> rows = viewport->visibleRows();
    const qint64 first = rows.isEmpty() ? 0 : rows.first().line;
    *selectedIndex =
        selected >= first && selected < first + rows.size() ? int(selected - first) : -1;
    return rowTexts(rows);
}

void LogViewController::goTo(const Finding &finding)
{
    ScopeTimer timer("LogViewController::goTo");
    if (!lines)
        return;
    viewport->setFoundPalette(true);
    const qint64 endAt = lines->positionOf(lines->endPosition());
    const qint64 startAt = qBound(qint64(0), finding.position - finding.length, endAt);
    const TextPosition start = lines->positionAt(startAt);
    const TextPosition end = lines->positionAt(qBound(startAt, finding.position, endAt));
    viewport->select(start, end, true);
    // The match's line a little above the middle of the view.
    viewport->scrollToLine(end.line - viewport->visibleLineCount() / 2);
}

void LogViewController::setNote(const QString &text)
{
    noteShown = !text.isEmpty();
    emit note(text);
}

void LogViewController::showLine(qint64 line)
{
    if (!lines)
        return;
    line = qBound(qint64(0), line, lines->lineCount() - 1);
    navigating = true;
    if (noteShown)
        setNote(QString());
    viewport->select({line, 0}, {line, 0}, true);
    viewport->scrollToLine(line - viewport->visibleLineCount() / 2);
    navigating = false;
}

qint64 LogViewController::selectedLineTime()
{
    return selected < 0 ? linetime::none : times.timeOf(selected);
}

qint64 LogViewController::timeToLinkBy()
{
    const qint64 time = selectedLineTime();
    if (time == linetime::none)
        setNote(tr("The selected line has no time: the linked panels stay where they are."));
    return time;
}

TimePlace LogViewController::goToTime(qint64 time)
{
    const TimePlace place = times.place(time);
    if (place.where == TimePlace::NoTimes) {
        setNote(times.noTimes() ? tr("No times in this log: it stays where it is.")
                                : tr("No times in the first %L1 lines of this log: it stays where "
                                     "it is.")
                                      .arg(times.linesLookedThrough()));
        return place;
    }
    showLine(place.line);
    if (place.where == TimePlace::BeforeStart) {
        setNote(tr("%1 is before this log's first time, %2: the first line is selected.")
                    .arg(linetime::format(time),
                         linetime::format(times.timeOf(times.firstTimedLine()))));
    } else if (place.where == TimePlace::AfterEnd) {
        setNote(tr("%1 is after this log's last time, %2: the last line is selected.")
                    .arg(linetime::format(time), linetime::format(times.timeOf(place.line))));
    }
    return place;
}

bool LogViewController::goToLineOrTime(const QString &typed)
{
    const QString text = typed.trimmed();
    static const QRegularExpression number(QStringLiteral("^[0-9]+$"));
    if (number.match(text).hasMatch()) {
        bool ok = false;
        const qint64 line = text.toLongLong(&ok);
        showLine(ok ? line - 1 : LLONG_MAX / 2);
        return true;
    }
    qint64 time = typedDateTime(text);
    if (time == linetime::none) {
        const qint64 timeOfDay = typedTimeOfDay(text);
        if (timeOfDay < 0)
            return false;
        // On the day of the log's first time.
        const qint64 first = times.timeOf(times.firstTimedLine());
        time = first == linetime::none ? timeOfDay
                                       : first - (first % dayMs + dayMs) % dayMs + timeOfDay;
    }
    goToTime(time);
    return true;
}

void LogViewController::goToNextError(bool backward)
{
    const qint64 line = marks->nextError(selected, backward);
    if (line < 0) {
        setNote(marks->isComplete()
                    ? tr("No error line in this log.")
                    : tr("No error line found so far; the log is still being read."));
        return;
    }
    showLine(line);
}

void LogViewController::pressMarkColumn(int y, int height)
{
    const qint64 line = marks->lineAt(y, height);
    if (line >= 0)
        showLine(line);
    emit activated();
}
