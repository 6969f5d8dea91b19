// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/logstore.h"

#include "logstore/logfile.h"
#include "logstore/logfindall.h"
#include "logstore/logsearcher.h"

#include <QPointer>
#include <QThreadPool>
#include <algorithm>

struct LogStore::State {
    QString fileName;
    QString title;
    std::shared_ptr<LogFile> file;
    LogSnapshot snapshot; // as of the last signal
    // One thread runs the passes in turn and outlives them: a pass that has published its end
    // needs no joining before the next starts, and followed growth creates no thread per write.
    QThreadPool worker;
    std::atomic<bool> stop{false};
    int percent = -1;
};

LogStore::LogStore(QObject *parent)
    : LineSource(parent), state(new State), finder(new LogFindAll(this))
{
    state->worker.setMaxThreadCount(1);
    state->worker.setExpiryTimeout(-1);
    connect(finder, &LogFindAll::found, this, &LogStore::onFound);
    connect(finder, &LogFindAll::progress, this, &LogStore::findAllProgress);
    connect(finder, &LogFindAll::finished, this,
            [this](qint64 count) { emit findAllEnded(count, false); });
    connect(this, &LogStore::linesIndexed, this, &LineSource::changed);
    connect(this, &LogStore::progress, this, &LineSource::loadProgressChanged);
    connect(this, &LogStore::finished, this, &LineSource::loaded);
}

LogStore::~LogStore()
{
    finder->cancel();
    stopPass();
}

bool LogStore::open(const QString &fileName)
{
    close();
    state->fileName = fileName;
    state->title.clear();
    state->file = LogFile::open(fileName);
    if (!state->file) {
        emit failed();
        emit changed();
        return false;
    }
    state->snapshot = state->file->snapshot();
    startPass();
    emit changed();
    return true;
}

void LogStore::close()
{
    cancelFindAll();
    stopPass();
    ++openCount;
    const bool wasOpen = state->file != nullptr;
    state->file.reset();
    state->snapshot = LogSnapshot();
    state->percent = -1;
    if (wasOpen)
        emit changed();
}

LogStore::Refresh LogStore::refresh()
{
    if (!state->file)
        return Refresh::Unchanged;
    if (state->snapshot.indexing)
        return Refresh::Indexing;
    switch (state->file->change()) {
    case LogFile::Change::None:
        return Refresh::Unchanged;
    case LogFile::Change::Invalid:
        return Refresh::Reopen;
    case LogFile::Change::Grown:
        break;
    }
    // The last pass has published its end; the next runs once it has left.
    state->snapshot.indexing = true;
    startPass();
    return Refresh::Indexing;
}

void LogStore::startPass()
{
    std::shared_ptr<LogFile> file = state->file;
    state->stop.store(false);
    const std::weak_ptr<LogFile> published = file;
    auto publish = [this, published](const LogSnapshot &) {
        QMetaObject::invokeMethod(
            this, [this, published] { takeSnapshot(published.lock()); }, Qt::QueuedConnection);
    };
    state->worker.start([file, publish, this] { file->indexPass(state->stop, publish); });
}

void LogStore::stopPass()
{
    state->stop.store(true);
    state->worker.waitForDone();
}

void LogStore::takeSnapshot(const std::shared_ptr<LogFile> &from)
{
    if (!from || from != state->file)
        return; // a notice from a file closed since
    const LogSnapshot before = state->snapshot;
    state->snapshot = from->snapshot();
    const LogSnapshot &now = state->snapshot;
    // At the end of a pass the last line is complete; after refresh() it may have grown.
    if (now.lineCount != before.lineCount || (before.indexing && !now.indexing))
        emit linesIndexed(now.lineCount);
    const int percent =
        now.fileSize > 0 ? int(std::min<qint64>(100, now.endByte * 100 / now.fileSize)) : 100;
    if (percent != state->percent) {
        state->percent = percent;
        emit progress(percent);
    }
    if (before.indexing && !now.indexing)
        emit finished();
}

std::shared_ptr<LogFile> LogStore::currentFile(LogSnapshot *snapshot) const
{
    *snapshot = state->snapshot;
    return state->file;
}

QString LogStore::fileName() const
{
    return state->fileName;
}

void LogStore::setTitle(const QString &title)
{
    state->title = title;
}

QString LogStore::title() const
{
    return state->title.isEmpty() ? state->fileName : state->title;
}

bool LogStore::isOpen() const
{
    return state->file != nullptr;
}

bool LogStore::isIndexing() const
{
    return state->file && state->snapshot.indexing;
}

qint64 LogStore::fileSize() const
{
    return state->snapshot.fileSize;
}

qint64 LogStore::indexedBytes() const
{
    return state->snapshot.endByte;
}

qint64 LogStore::indexMemory() const
{
    return state->file ? state->file->index.memoryUsed() : 0;
}

qint64 LogStore::lineCount() const
{
    return state->file ? state->snapshot.lineCount : 1;
}

QString LogStore::lineText(qint64 line) const
{
    return state->file ? state->file->lineText(line, state->snapshot) : QString();
}

QStringList LogStore::lineTexts(qint64 first, qint64 count) const
{
    if (!state->file)
        return first == 0 && count > 0 ? QStringList(QString()) : QStringList();
    return state->file->lineTexts(first, count, state->snapshot);
}

QString LogStore::lineSlice(qint64 line, qint64 column, qint64 count) const
{
    return state->file ? state->file->lineSlice(line, column, count, state->snapshot) : QString();
}

QStringList LogStore::lineHeads(qint64 first, qint64 count, qint64 limit) const
{
    if (!state->file)
        return first == 0 && count > 0 ? QStringList(QString()) : QStringList();
    return state->file->lineHeads(first, count, limit, state->snapshot);
}

qint64 LogStore::linePosition(qint64 line) const
{
    if (!state->file || line < 0 || line >= state->snapshot.lineCount)
        return 0;
    return state->file->index.position(line);
}

qint64 LogStore::lineLength(qint64 line) const
{
    if (!state->file || line < 0 || line >= state->snapshot.lineCount)
        return 0;
    return state->file->lineLength(line, state->snapshot);
}

qint64 LogStore::lineAtPosition(qint64 position) const
{
    if (!state->file || state->snapshot.lineCount == 0)
        return 0;
    return state->file->index.lineAtPosition(position, state->snapshot.lineCount);
}

qint64 LogStore::characterCount() const
{
    if (!state->file)
        return 1;
    return state->snapshot.lineCount > 0 ? state->snapshot.endPosition + 1 : 0;
}

qint64 LogStore::longestLineLength() const
{
    return state->file ? state->snapshot.longestLine : 0;
}

int LogStore::loadProgress() const
{
    return isIndexing() ? qMax(0, state->percent) : 100;
}

qint64 LogStore::expectedLineCount() const
{
    // The lines so far, scaled to the whole file.
    const qint64 lines = lineCount();
    const LogSnapshot &now = state->snapshot;
    if (!isIndexing() || now.endByte <= 0 || now.fileSize <= now.endByte)
        return lines;
    return qMax(lines, qint64(double(lines) * double(now.fileSize) / double(now.endByte)));
}

bool LogStore::containsCommMarker() const
{
    return state->file && state->snapshot.hasCommMarker;
}

LineSource::LineReader LogStore::concurrentReader() const
{
    if (!state->file)
        return {};
    return [file = state->file, snapshot = state->snapshot](qint64 first, qint64 count) {
        Utf8Lines lines;
        count = std::min(count, snapshot.lineCount - first);
        if (first < 0 || count <= 0)
            return lines;
        lines.starts.reserve(int(count) + 1);
        if (!file->isUtf8()) {
            // Through the text, each line cut as a long one is below.
            for (const QString &text :
                 file->lineHeads(first, count, LogFile::longLineBytes, snapshot)) {
                lines.starts.append(lines.bytes.size());
                lines.bytes += text.toUtf8() + '\n';
            }
            lines.starts.append(lines.bytes.size());
            return lines;
        }
        // Where the bytes are the text's UTF-8: runs of lines in one read each; a long line
        // only its first longLineBytes, without its line break.
        std::vector<qint64> ends(size_t(count) + 1);
        const int known = int(std::min(count + 1, snapshot.indexCount - first));
        file->index.read(first, known, ends.data(), nullptr);
        if (known == count)
            ends[size_t(count)] = snapshot.endByte;
        QByteArray bytes;
        for (qint64 i = 0; i < count;) {
            qint64 next = i;
            while (next < count &&
                   ends[size_t(next + 1)] - ends[size_t(next)] <= LogFile::longLineBytes &&
                   ends[size_t(next + 1)] - ends[size_t(i)] <= LogFile::batchBytes)
                ++next;
            const qint64 start = ends[size_t(i)];
            const qint64 end = next > i ? ends[size_t(next)] : start + LogFile::longLineBytes;
            QByteArray &into = lines.bytes.isEmpty() ? lines.bytes : bytes;
            if (!file->read(start, end, &into))
                return lines; // short: the file lost bytes under us
            const int base = &into == &lines.bytes ? 0 : lines.bytes.size();
            for (qint64 line = i; line < std::max(next, i + 1); ++line)
                lines.starts.append(base + int(ends[size_t(line)] - start));
            if (&into != &lines.bytes)
                lines.bytes += bytes;
            i = std::max(next, i + 1);
        }
        lines.starts.append(lines.bytes.size());
        return lines;
    };
}

LineMatch LogStore::find(const QString &text, Qt::CaseSensitivity sensitivity, bool wholeWords,
                         const TextPosition &from, bool backward, qint64 stopLine) const
{
    const LogMatch match =
        find(text, sensitivity, wholeWords, from.line, from.column, backward, stopLine);
    LineMatch result;
    if (match.isValid())
        result = {{match.line, match.column}, match.length};
    return result;
}

bool LogStore::byteRange(qint64 first, qint64 last, QString *file, qint64 *from, qint64 *to) const
{
    const LogSnapshot &now = state->snapshot;
    if (!state->file || first < 0 || last < first || last >= now.lineCount)
        return false;
    *file = fileName();
    *from = state->file->index.byteOffset(first);
    *to = state->file->lineEnd(last, now);
    return true;
}

void LogStore::startFindAll(const QString &keyword, Qt::CaseSensitivity sensitivity)
{
    cancelFindAll();
    foundCount = 0;
    finder->start(*this, keyword, sensitivity);
}

void LogStore::cancelFindAll()
{
    if (!finder->isRunning())
        return;
    finder->cancel();
    emit findAllEnded(foundCount, true);
}

void LogStore::onFound(const QVector<LogFinding> &findings, int longestLine)
{
    foundCount += findings.size();
    FoundBatch batch;
    batch.findings.reserve(findings.size());
    for (const LogFinding &match : findings) {
        Finding finding;
        finding.lineNumber = match.lineNumber;
        finding.position = match.position;
        finding.column = match.column;
        finding.length = match.length;
        batch.findings.append(finding);
    }
    batch.longestLine = longestLine;
    // Rows outlive a reopened or closed log: they read the lines of this file, or nothing.
    batch.lineText = [store = QPointer<const LogStore>(this), opened = openCount](qint64 number) {
        if (!store || store->openCount != opened || number > store->lineCount())
            return QString();
        return store->shownLineText(number - 1);
    };
    emit found(batch);
}

LogMatch LogStore::find(const QString &text, Qt::CaseSensitivity sensitivity, bool wholeWords,
                        qint64 fromLine, qint64 fromColumn, bool backward, qint64 stopLine) const
{
    if (!state->file || fromLine < 0 || fromLine >= state->snapshot.lineCount)
        return {};
    const LogSearcher searcher(state->file, state->snapshot, text, sensitivity, wholeWords,
                               LogSearcher::Mode::Step);
    const LogSearcher::Match match =
        searcher.find(linePosition(fromLine) + fromColumn, backward, stopLine);
    if (match.line < 0)
        return {};
    return {match.line, match.column, int(text.size())};
}
