#include "logview/logviewcontroller.h"

#include "searchcore/linesource.h"
#include "searchcore/searchoptions.h"
#include "searchcore/searchstate.h"
#include "searchcore/searchtext.h"
#include "settings/scopetimer.h"

#include <QFile>
#include <QGuiApplication>
#include <QThreadPool>
#include <QClipboard>

namespace
{
// Copying millions of lines at once would take the whole log into memory several times.
constexpr qint64 copiedLineLimit = 2000000;
} // namespace

LogViewController::LogViewController(LogViewport *viewport, QObject *parent)
    : QObject(parent), viewport(viewport), state(new SearchState(this))
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
    selected = line;
    detailsDue = true;
    viewport->selectedLineChanged();
    scheduleDetails();
}

void LogViewController::logReplaced()
{
    selected = viewport->caretPosition().line;
    detailsDue = true;
    state->clearNotFoundText();
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
    const auto read = [source](int line) { return source->lineText(line).left(decodedLineLimit); };
    emit visualizeLineSelected(selectedLineDetails(read, int(qMax<qint64>(1, count)), int(selected),
                                                   int(first), int(last), decodeMode));
}

QStringList LogViewController::rowTexts(const QVector<VisibleRow> &rows) const
{
    if (rows.isEmpty() || !lines)
        return {};
    QStringList texts = lines->lineTexts(rows.first().line, rows.size());
    for (QString &text : texts)
        text.truncate(decodedLineLimit);
    return texts;
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
        text = lines->lineText(from.line).mid(from.column, to.column - from.column);
    } else {
        QStringList parts;
        parts << lines->lineText(from.line).mid(from.column);
        const qint64 last = qMin(to.line, from.line + copiedLineLimit);
        if (last > from.line + 1)
            parts << lines->lineTexts(from.line + 1, last - from.line - 1);
        parts << lines->lineText(last).left(last == to.line ? to.column : INT_MAX);
        text = parts.join(QLatin1Char('\n'));
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
        emit note(tr("The selection is too large to copy; \"Save Selection As...\" writes it "
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
    qint64 from = 0, to = 0;
    if (!lines->byteRange(first, last, &from, &to)) {
        QFile out(fileName);
        if (!out.open(QIODevice::WriteOnly))
            return false;
        for (qint64 line = first; line <= last; ++line)
            out.write(lines->lineText(line).toUtf8() + '\n');
        emit note(tr("Saved %1 lines to %2.").arg(last - first + 1).arg(fileName));
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
    const QString logName = lines->title();
    const qint64 lineCount = last - first + 1;
    const auto tell = [self, stop](const QString &text) {
        QMetaObject::invokeMethod(
            qApp,
            [self, stop, text] {
                if (self && !stop->load())
                    emit self->note(text);
            },
            Qt::QueuedConnection);
    };
    QThreadPool::globalInstance()->start([logName, fileName, from, to, stop, tell, lineCount] {
        QFile in(logName);
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
    const int count = viewport->visibleLineCount();
    return !rows.isEmpty() && line >= rows.first().line && line < rows.first().line + count;
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

void LogViewController::step(const QString &text, Qt::CaseSensitivity sensitivity,
                             bool wholeWords, int direction)
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
                const QString line = lines->lineText(before.line);
                if (before.column > 0 && before.column < line.size() &&
                    line.at(before.column).isLowSurrogate() &&
                    line.at(before.column - 1).isHighSurrogate())
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
    const qint64 shown = qBound<qint64>(0, line, lines->lineCount() - 1);
    viewport->select({shown, 0}, {shown, 0}, true);
    viewport->scrollToLine(shown - viewport->visibleLineCount() / 2);
}

QStringList LogViewController::shownLineTexts(int *selectedIndex) const
{
    const QVector<VisibleRow> rows = viewport->visibleRows();
    const qint64 first = rows.isEmpty() ? 0 : rows.first().line;
    *selectedIndex = selected >= first && selected < first + rows.size() ? int(selected - first) : -1;
    return rowTexts(rows);
}

void LogViewController::goTo(const Finding &finding)
{
    ScopeTimer timer("LogViewController::goTo");
    if (!lines)
        return;
    viewport->setFoundPalette(true);
    const qint64 endAt = lines->positionOf(lines->endPosition());
    const qint64 startAt = qBound<qint64>(0, finding.position - finding.length, endAt);
    const TextPosition start = lines->positionAt(startAt);
    const TextPosition end = lines->positionAt(qBound(startAt, finding.position, endAt));
    viewport->select(start, end, true);
    // The match's line a little above the middle of the view.
    viewport->scrollToLine(end.line - viewport->visibleLineCount() / 2);
}
