// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/logsearcher.h"

#include <QStringList>
#include <algorithm>
#include <climits>
#include <mutex>
#include <system_error>
#include <thread>

namespace
{
constexpr qint64 windowSize = qint64(1) << 20;
constexpr qint64 spanBytes = qint64(4) << 20; // what a thread takes at a time
constexpr qint64 textBatch = 2048;            // lines decoded together where every line is decoded

// ASCII letters that some character above ASCII folds to (such as the Kelvin sign to k).
const QByteArray &foldedFromAbove()
{
    static const QByteArray letters = [] {
        QByteArray found;
        for (uint c = 0x80; c <= 0x10FFFF; ++c) {
            const uint folded = QChar::toCaseFolded(c);
            if (folded < 0x80 && !found.contains(char(folded)))
                found += char(folded);
        }
        return found;
    }();
    return letters;
}

// The find loop of QTextDocument within one block, over a haystack that is either text or
// plain bytes.
template <typename Haystack>
int findInBlock(const Haystack &haystack, int offset, bool backward, bool wholeWords)
{
    const int length = haystack.length();
    while (offset >= 0 && offset <= length) {
        const int index = backward ? haystack.lastIndexOf(offset) : haystack.indexOf(offset);
        if (index < 0)
            return -1;
        if (wholeWords) {
            const int end = index + haystack.needleLength();
            if ((index != 0 && haystack.isWordCharacter(index - 1)) ||
                (end != length && haystack.isWordCharacter(end))) {
                offset = backward ? index - 1 : end + 1;
                continue;
            }
        }
        return index;
    }
    return -1;
}

template <typename Haystack> QVector<int> findAllInBlock(const Haystack &haystack)
{
    QVector<int> columns;
    for (int from = 0; from < haystack.length();) {
        const int column = haystack.indexOf(from);
        if (column < 0)
            break;
        columns.append(column);
        from = column + haystack.needleLength();
    }
    return columns;
}

struct TextHaystack {
    const QString &text;
    const QString &needle;
    Qt::CaseSensitivity sensitivity;

    int length() const { return text.size(); }
    int needleLength() const { return needle.size(); }
    int indexOf(int from) const { return text.indexOf(needle, from, sensitivity); }
    int lastIndexOf(int from) const { return text.lastIndexOf(needle, from, sensitivity); }
    bool isWordCharacter(int at) const { return text.at(at).isLetterOrNumber(); }
};

struct ByteHaystack {
    const char *bytes;
    int size;
    const bytescan::Needle &needle;

    int length() const { return size; }
    int needleLength() const { return needle.size(); }
    int indexOf(int from) const
    {
        if (from < 0 || from > size)
            return -1;
        const char *hit = needle.findIn(bytes + from, bytes + size);
        return hit ? int(hit - bytes) : -1;
    }
    // As QString::lastIndexOf: a start at `from` at the latest, -1 for a start past the end.
    int lastIndexOf(int from) const
    {
        if (from < 0 || from >= size)
            return -1;
        const char *hit = needle.findLastIn(bytes, bytes + size, bytes + from);
        return hit ? int(hit - bytes) : -1;
    }
    bool isWordCharacter(int at) const
    {
        const char c = bytes[at];
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    }
};

// Runs `work` on this thread and, when `parallel` and the machine has another core, on a second
// one at the same time.
template <typename Work> void runOnTwoThreads(const Work &work, bool parallel)
{
    std::thread helper;
    if (parallel && std::thread::hardware_concurrency() != 1) {
        try {
            helper = std::thread(work);
        } catch (const std::system_error &) {
            // then this thread does it all
        }
    }
    work();
    if (helper.joinable())
        helper.join();
}
} // namespace

// A stretch of the file read at once.
struct LogSearcher::Window {
    QByteArray buffer;
    qint64 start = 0;
    qint64 end = 0;     // of the stretch searched
    qint64 dataEnd = 0; // of the bytes held
    QStringList texts;  // or, where every line is decoded, the texts of lines from textsFirst
    qint64 textsFirst = 0;

    const char *at(qint64 offset) const { return buffer.constData() + (offset - start); }
    qint64 offsetOf(const char *at) const { return start + (at - buffer.constData()); }
};

// A line too long to decode whole, as a haystack of findInBlock(): its text is decoded through
// the line's map a stretch of chunks at a time, and only in stretches whose bytes may hold a
// match, by the rules mayMatch() applies to whole lines. A stretch's text runs on past its end
// far enough to hold a match that starts in it and the character after that.
class LogSearcher::LongLine
{
public:
    LongLine(const LogSearcher &searcher, std::shared_ptr<const LogFile::LineMap> map, qint64 line,
             bool blankForNoBreakSpace)
        : searcher(searcher), map(std::move(map)), line(line),
          blankForNoBreakSpace(blankForNoBreakSpace),
          stretches(int((this->map->checkpoints.size() + stretchChunks - 1) / stretchChunks))
    {
    }

    int length() const { return int(std::min<qint64>(map->length, INT_MAX)); }
    int needleLength() const { return searcher.needle.size(); }

    int indexOf(int from) const
    {
        if (from < 0 || from > length() - needleLength())
            return -1;
        for (int stretch = stretchAt(from); stretch < stretches; ++stretch) {
            if (!mayHold(stretch))
                continue;
            const qint64 base = columnOf(stretch);
            const int found = text(stretch).indexOf(
                searcher.needle, int(std::max<qint64>(0, from - base)), searcher.sensitivity);
            if (found >= 0)
                return int(base + found);
        }
        return -1;
    }

    // As QString::lastIndexOf: a start at `from` at the latest, -1 for a start past the end.
    int lastIndexOf(int from) const
    {
        if (from < 0 || from >= length() || needleLength() > length())
            return -1;
        from = std::min(from, length() - needleLength());
        for (int stretch = stretchAt(from); stretch >= 0; --stretch) {
            if (!mayHold(stretch))
                continue;
            const qint64 base = columnOf(stretch);
            const qint64 last = std::min<qint64>(from, columnOf(stretch + 1) - 1);
            if (last < base)
                continue;
            const int found =
                text(stretch).lastIndexOf(searcher.needle, int(last - base), searcher.sensitivity);
            if (found >= 0)
                return int(base + found);
        }
        return -1;
    }

    bool isWordCharacter(int at) const
    {
        // Mostly next to a match, in the text at hand.
        const int stretch =
            cached >= 0 && at >= columnOf(cached) && at - columnOf(cached) < cachedText.size()
                ? cached
                : stretchAt(at);
        const QString &shown = text(stretch);
        const qint64 local = at - columnOf(stretch);
        return local < shown.size() && shown.at(int(local)).isLetterOrNumber();
    }

private:
    static constexpr size_t stretchChunks = 16;

    size_t firstCheckpoint(int stretch) const { return size_t(stretch) * stretchChunks; }
    qint64 columnOf(int stretch) const
    {
        return firstCheckpoint(stretch) < map->checkpoints.size()
                   ? map->checkpoints[firstCheckpoint(stretch)].column
                   : map->length;
    }
    qint64 byteOf(int stretch) const
    {
        return firstCheckpoint(stretch) < map->checkpoints.size()
                   ? map->checkpoints[firstCheckpoint(stretch)].byte
                   : map->end;
    }
    int stretchAt(qint64 column) const { return int(map->checkpointAt(column) / stretchChunks); }

    bool mayHold(int stretch) const
    {
        if (line == searcher.droppedMarkLine)
            return true;
        // The bytes of a match that starts in the stretch: its first character may come from
        // a sequence that the stretch's first chunk completes.
        const qint64 from = std::max(map->start, byteOf(stretch) - 3);
        const qint64 to = std::min(map->end, byteOf(stretch + 1) + needleLength() - 1);
        if (!searcher.file->read(from, to, &bytes))
            return false;
        const char *start = bytes.constData();
        const char *end = start + bytes.size();
        if (bytescan::findTextChange(start, end, false, to < map->end) != end)
            return true; // a carriage return inside may join the needle's bytes
        if (searcher.decodeAllHigh && !bytescan::isAscii(start, end))
            return searcher.highAnchor.isEmpty() || searcher.highAnchor.findIn(start, end);
        return !searcher.rawNeedle.isEmpty() && searcher.rawNeedle.findIn(start, end);
    }

    const QString &text(int stretch) const
    {
        if (stretch != cached) {
            const qint64 base = columnOf(stretch);
            const qint64 units = columnOf(stretch + 1) - base + needleLength() + 1;
            cachedText = searcher.file->mapText(*map, firstCheckpoint(stretch), units);
            cachedText.truncate(int(std::min<qint64>(map->length - base, INT_MAX)));
            if (blankForNoBreakSpace)
                cachedText.replace(QChar::Nbsp, QLatin1Char(' '));
            cached = stretch;
        }
        return cachedText;
    }

    const LogSearcher &searcher;
    std::shared_ptr<const LogFile::LineMap> map;
    qint64 line;
    bool blankForNoBreakSpace;
    int stretches;
    mutable QByteArray bytes;
    mutable int cached = -1;
    mutable QString cachedText;
};

// Walks the line starts of the snapshot forwards, a block of the index at a time.
class LogSearcher::Lines
{
public:
    Lines(const LogIndex &index, const LogSnapshot &snapshot, bool withPositions)
        : index(index), snapshot(snapshot), withPositions(withPositions)
    {
    }

    void seek(qint64 line)
    {
        base = line;
        at = 0;
        held = int(std::min<qint64>(LogIndex::blockLines + 1, snapshot.indexCount - line));
        index.read(line, held, bytes, withPositions ? positions : nullptr);
    }
    qint64 line() const { return base + at; }
    qint64 start() const { return bytes[at]; }
    // Past its line break; the next line's start is held whenever there is one.
    qint64 end() const { return at + 1 < held ? bytes[at + 1] : snapshot.endByte; }
    qint64 position() const { return positions[at]; }
    // In UTF-16 units, without the line break.
    qint64 length() const
    {
        return (at + 1 < held ? positions[at + 1] - 1 : snapshot.endPosition) - positions[at];
    }
    void next()
    {
        if (++at + 1 >= held && line() + 1 < snapshot.indexCount)
            seek(line());
    }
    // On to the line that holds `offset`, or the last line.
    void advanceTo(qint64 offset)
    {
        while (offset >= end() && line() + 1 < snapshot.lineCount)
            next();
    }

private:
    const LogIndex &index;
    const LogSnapshot &snapshot;
    bool withPositions;
    qint64 base = 0;
    int at = 0;
    int held = 0;
    qint64 bytes[LogIndex::blockLines + 1] = {};
    qint64 positions[LogIndex::blockLines + 1] = {};
};

// Matches in batches, each with the length of its longest line.
struct LogSearcher::Batches {
    struct Batch {
        QVector<LogFinding> findings; // of batchSize, the first `used` of them found
        int used = 0;
        qint64 longestLine = 0;
        qint64 lastLine = -1;
    };
    std::vector<Batch> list;
    LogFinding *next = nullptr; // in the last batch

    template <typename Length>
    void add(qint64 line, int column, int length, qint64 position, const Length &lineLength)
    {
        if (list.empty() || list.back().used == LogSearcher::batchSize) {
            list.emplace_back();
            list.back().findings.resize(LogSearcher::batchSize);
            next = list.back().findings.data();
        }
        Batch &batch = list.back();
        *next++ = {line + 1, column, length, position};
        ++batch.used;
        if (batch.lastLine != line) {
            batch.lastLine = line;
            batch.longestLine = std::max<qint64>(batch.longestLine, lineLength());
        }
    }

    // Hands the batches on, each cut to what it holds.
    void handOn(const LogSearcher::Found &found)
    {
        for (Batch &batch : list) {
            if (batch.used < LogSearcher::batchSize) {
                batch.findings.resize(batch.used);
                batch.findings.squeeze(); // the receiver keeps it
            }
            found(batch.findings, int(std::min<qint64>(batch.longestLine, INT_MAX)));
        }
        std::vector<Batch>().swap(list);
        next = nullptr;
    }
};

LogSearcher::LogSearcher(std::shared_ptr<const LogFile> file, const LogSnapshot &snapshot,
                         const QString &needle, Qt::CaseSensitivity sensitivity, bool wholeWords,
                         Mode mode)
    : file(std::move(file)), index(this->file->index), snapshot(snapshot), needle(needle),
      sensitivity(sensitivity), wholeWords(wholeWords), mode(mode)
{
    // No line's text holds a line break or carriage return; a step reads a no-break space as
    // a blank, so one in the needle never matches.
    for (const QChar c : needle) {
        const ushort u = c.unicode();
        if (u == '\n' || u == '\r' || u == 0x2029 || u == 0xFDD0 || u == 0xFDD1 ||
            (mode == Mode::Step && u == 0xA0))
            impossible = true;
    }
    if (needle.isEmpty() || snapshot.lineCount == 0)
        impossible = true;
    if (impossible)
        return;

    const bool ignoreCase = sensitivity == Qt::CaseInsensitive;
    QString ascii = needle;
    if (ignoreCase) {
        // Case-insensitive matching compares case-folded characters.
        ascii.clear();
        for (const uint c : needle.toUcs4()) {
            const uint folded = QChar::toCaseFolded(c);
            ascii += folded < 0x80 ? QChar(ushort(folded)) : QChar(0x80);
        }
    }
    const auto foldsFromAbove = [ignoreCase](QChar c) {
        return ignoreCase && c.unicode() < 0x80 && foldedFromAbove().contains(char(c.unicode()));
    };
    const bool isAscii =
        std::all_of(ascii.cbegin(), ascii.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (isAscii)
        rawNeedle = bytescan::Needle(ascii.toLatin1(), ignoreCase);
    // The needle may match text that is not its bytes where a line has bytes >= 0x80: a step
    // reads a no-break space as a blank, and characters above ASCII may fold to the needle's.
    decodeAllHigh = !isAscii || (mode == Mode::Step && ascii.contains(QLatin1Char(' '))) ||
                    std::any_of(ascii.cbegin(), ascii.cend(), foldsFromAbove);
    // Even then its other characters are matched by their own bytes: such a line needs the
    // longest run of them.
    QString run, longestRun;
    for (const QChar c : ascii + QChar(0x80)) {
        if (c.unicode() < 0x80 && c != QLatin1Char(' ') && !foldsFromAbove(c)) {
            run += c;
            continue;
        }
        if (run.size() > longestRun.size())
            longestRun = run;
        run.clear();
    }
    highAnchor = bytescan::Needle(longestRun.toLatin1(), ignoreCase);
    if (this->file->isUtf8() && this->file->droppedMarkOffset() >= 0 &&
        this->file->droppedMarkOffset() < snapshot.endByte) {
        droppedMarkLine = index.lineAtByte(this->file->droppedMarkOffset(), snapshot.lineCount);
    }
}

std::vector<LogSearcher::Span> LogSearcher::spans(qint64 first, qint64 last) const
{
    std::vector<Span> list;
    const qint64 end = lineEnd(last);
    for (qint64 line = first; line <= last;) {
        const qint64 target = index.byteOffset(line) + spanBytes;
        // The span ends before the line that holds the target.
        const qint64 next =
            target >= end ? last + 1 : std::max(line + 1, index.lineAtByte(target, last + 1));
        list.push_back({line, next - 1});
        line = next;
    }
    return list;
}

qint64 LogSearcher::windowEndForward(qint64 first, qint64 last) const
{
    const qint64 limit = index.byteOffset(first) + windowSize;
    if (lineEnd(last) <= limit)
        return last + 1;
    // The lines before the one that holds the limit end at or before it.
    return index.lineAtByte(limit, last + 1);
}

qint64 LogSearcher::windowStartBackward(qint64 first, qint64 last) const
{
    const qint64 limit = lineEnd(last) - windowSize;
    if (index.byteOffset(first) >= limit)
        return first;
    const qint64 line = index.lineAtByte(limit, last + 1);
    return index.byteOffset(line) == limit ? line : line + 1;
}

bool LogSearcher::readWindow(Window *window, qint64 first, qint64 end) const
{
    window->start = index.byteOffset(first);
    window->end = lineEnd(end - 1);
    window->dataEnd = window->end;
    // Sized once: growing it would copy what it holds.
    if (window->buffer.capacity() < window->end - window->start)
        window->buffer.reserve(int(windowSize));
    return file->read(window->start, window->end, &window->buffer);
}

void LogSearcher::specialLines(const Window &window, Lines &lines,
                               std::vector<Special> *specials) const
{
    specials->clear();
    const char *end = window.at(window.end);
    // The window holds whole lines: carriage returns running into its end end the last line.
    for (const char *at = window.at(window.start);;) {
        at = bytescan::findTextChange(at, end, true, false);
        if (at == end)
            return;
        lines.advanceTo(window.offsetOf(at));
        specials->push_back({lines.line(), lines.start(), lines.end()});
        at = window.at(lines.end());
    }
}

bool LogSearcher::mayMatch(const Special &special, const Window &window) const
{
    const char *from = window.at(special.start);
    const char *end = window.at(special.end);
    // A dropped byte-order mark or carriage return inside the line may join the needle's bytes.
    if (special.line == droppedMarkLine || bytescan::findTextChange(from, end, false, false) != end)
        return true;
    if (decodeAllHigh)
        return highAnchor.isEmpty() || highAnchor.findIn(from, end);
    return rawNeedle.findIn(from, end);
}

LogSearcher::Match LogSearcher::firstMatchInSpan(const Span &span, bool backward,
                                                 const std::function<bool()> &abandon) const
{
    Lines changes(index, snapshot, false);
    Lines hits(index, snapshot, false);
    Window window;
    const Window none;
    std::vector<Special> specials;
    std::vector<qint64> candidates;
    for (qint64 first = span.first, last = span.last; first <= last;) {
        if (abandon())
            return {};
        const qint64 from = backward ? windowStartBackward(first, last) : first;
        const qint64 to = backward ? last + 1 : windowEndForward(first, last);
        if (from == to) {
            // A line longer than a window is searched on its own.
            const qint64 line = backward ? last : first;
            const int column = findInLine(line, none, backward ? fromLast : 0, backward);
            if (column >= 0)
                return {line, column};
            if (backward)
                --last;
            else
                ++first;
            continue;
        }
        if (!readWindow(&window, from, to))
            return {}; // the file lost bytes under us: nothing more to find
        changes.seek(from);
        specialLines(window, changes, &specials);
        candidates.clear();
        for (const Special &special : specials) {
            if (mayMatch(special, window))
                candidates.push_back(special.line);
        }
        const auto specialCount = std::ptrdiff_t(candidates.size());
        hits.seek(from);
        const char *end = window.at(window.end);
        for (const char *at = window.at(window.start); (at = rawNeedle.findIn(at, end));) {
            hits.advanceTo(window.offsetOf(at));
            candidates.push_back(hits.line());
            at = window.at(hits.end());
        }
        std::inplace_merge(candidates.begin(), candidates.begin() + specialCount, candidates.end());
        candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
        if (backward)
            std::reverse(candidates.begin(), candidates.end());
        for (const qint64 line : candidates) {
            // Whole lines: forwards from their start, backwards from their last character.
            const int column = findInLine(line, window, backward ? fromLast : 0, backward);
            if (column >= 0)
                return {line, column};
        }
        if (backward)
            last = from - 1;
        else
            first = to;
    }
    return {};
}

LogSearcher::Match LogSearcher::firstMatchDecoded(qint64 first, qint64 last, bool backward) const
{
    // Every line is decoded, a batch of lines at a time.
    Window window;
    const qint64 total = last - first + 1;
    for (qint64 batch = 0; batch < total; batch += textBatch) {
        const qint64 count = std::min(textBatch, total - batch);
        const qint64 from = backward ? last - batch - count + 1 : first + batch;
        window.texts = file->lineTexts(from, count, snapshot);
        window.textsFirst = from;
        for (qint64 i = 0; i < count; ++i) {
            const qint64 line = backward ? from + count - 1 - i : from + i;
            const int column = findInLine(line, window, backward ? fromLast : 0, backward);
            if (column >= 0)
                return {line, column};
        }
    }
    return {};
}

LogSearcher::Match LogSearcher::firstMatch(qint64 first, qint64 last, bool backward) const
{
    if (first > last)
        return {};
    if (!file->isUtf8())
        return firstMatchDecoded(first, last, backward);
    std::vector<Span> list = spans(first, last);
    if (backward)
        std::reverse(list.begin(), list.end());
    // Spans are taken in search order; the first one with a match wins, and spans after it
    // are given up.
    const size_t count = list.size();
    std::vector<Match> matches(count);
    std::atomic<size_t> next{0};
    std::atomic<size_t> winner{count};
    const auto work = [&] {
        for (;;) {
            const size_t span = next.fetch_add(1);
            if (span >= count || span > winner.load())
                return;
            const Match match = firstMatchInSpan(list[span], backward, [&winner, span] {
                return winner.load(std::memory_order_relaxed) < span;
            });
            if (match.line < 0)
                continue;
            matches[span] = match;
            size_t current = winner.load();
            while (span < current && !winner.compare_exchange_weak(current, span)) {
            }
        }
    };
    runOnTwoThreads(work, count > 1);
    const size_t found = winner.load();
    return found < count ? matches[found] : Match{};
}

void LogSearcher::addMatches(Batches *batches, qint64 line, const QVector<int> &columns) const
{
    if (columns.isEmpty())
        return;
    const qint64 position = index.position(line);
    const int length = needle.size();
    for (const int column : columns) {
        batches->add(line, column, length, position + column + length,
                     [&] { return file->lineLength(line, snapshot); });
    }
}

LogSearcher::Outcome LogSearcher::findAllInSpan(const Span &span, Batches *batches,
                                                const std::atomic<bool> &stop) const
{
    Lines changes(index, snapshot, false);
    Lines hits(index, snapshot, true);
    Window window;
    const Window none;
    std::vector<Special> specials;
    const int length = needle.size();
    for (qint64 first = span.first; first <= span.last;) {
        if (stop.load(std::memory_order_relaxed))
            return Outcome::Stopped;
        const qint64 end = windowEndForward(first, span.last);
        if (end == first) {
            // A line longer than a window is searched on its own.
            addMatches(batches, first, findAllInLine(first, none));
            ++first;
            continue;
        }
        if (!readWindow(&window, first, end))
            return Outcome::Lost;
        changes.seek(first);
        specialLines(window, changes, &specials);
        auto special = specials.cbegin();
        const auto searchSpecial = [&](const Special &line) {
            if (mayMatch(line, window))
                addMatches(batches, line.line, findAllInLine(line.line, window));
        };
        // The needle's bytes in lines whose text is their bytes give the matches themselves;
        // the other lines are searched whole, in their turn.
        hits.seek(first);
        const char *stopAt = window.at(window.end);
        for (const char *at = window.at(window.start);;) {
            const char *hit = rawNeedle.findIn(at, stopAt);
            const qint64 offset = hit ? window.offsetOf(hit) : window.end;
            while (special != specials.cend() && special->end <= offset)
                searchSpecial(*special++);
            if (!hit)
                break;
            if (special != specials.cend() && special->start <= offset) {
                at = window.at(special->end);
                searchSpecial(*special++);
                continue;
            }
            hits.advanceTo(offset);
            const int column = int(offset - hits.start());
            batches->add(hits.line(), column, length, hits.position() + column + length,
                         [&hits] { return hits.length(); });
            at = hit + rawNeedle.size();
        }
        first = end;
    }
    return Outcome::Done;
}

bool LogSearcher::findAllDecoded(const Found &found, const Done &done,
                                 const std::atomic<bool> &stop) const
{
    Window window;
    const qint64 total = snapshot.lineCount;
    for (qint64 from = 0; from < total; from += textBatch) {
        if (stop.load(std::memory_order_relaxed))
            return false;
        const qint64 count = std::min(textBatch, total - from);
        window.texts = file->lineTexts(from, count, snapshot);
        window.textsFirst = from;
        Batches batches;
        for (qint64 line = from; line < from + count; ++line)
            addMatches(&batches, line, findAllInLine(line, window));
        batches.handOn(found);
        if (done)
            done(from + count, total);
    }
    return !stop.load();
}

bool LogSearcher::findAll(const Found &found, const Done &done, const std::atomic<bool> &stop) const
{
    if (impossible)
        return !stop.load();
    if (!file->isUtf8())
        return findAllDecoded(found, done, stop);

    const std::vector<Span> list = spans(0, snapshot.lineCount - 1);
    const qint64 start = index.byteOffset(0);
    const qint64 total = lineEnd(snapshot.lineCount - 1) - start;
    struct Part {
        Batches batches;
        Outcome outcome = Outcome::Stopped;
        bool ready = false;
    };
    std::vector<Part> parts(list.size());
    std::mutex mutex;
    size_t handedOn = 0;
    std::atomic<bool> lost{false};
    std::atomic<size_t> next{0};
    // Whoever finishes a span hands on, in order, the spans that are ready; a span that lost
    // bytes under us ends the search with what came before it.
    const auto handOn = [&] {
        for (; handedOn < parts.size() && parts[handedOn].ready; ++handedOn) {
            Part &part = parts[handedOn];
            if (part.outcome == Outcome::Lost) {
                lost.store(true);
                handedOn = parts.size();
                return;
            }
            part.batches.handOn(found);
            if (done)
                done(lineEnd(list[handedOn].last) - start, total);
        }
    };
    const auto work = [&] {
        for (;;) {
            const size_t span = next.fetch_add(1);
            if (span >= list.size() || stop.load() || lost.load())
                return;
            Batches batches;
            const Outcome outcome = findAllInSpan(list[span], &batches, stop);
            if (outcome == Outcome::Stopped)
                return;
            const std::lock_guard<std::mutex> locker(mutex);
            parts[span].batches = std::move(batches);
            parts[span].outcome = outcome;
            parts[span].ready = true;
            handOn();
        }
    };
    runOnTwoThreads(work, list.size() > 1);
    return !stop.load();
}

bool LogSearcher::lineBytes(qint64 line, const Window &window, QByteArray *storage,
                            const char **bytes, qint64 *size) const
{
    const qint64 start = index.byteOffset(line);
    const qint64 end = std::min(lineEnd(line), start + LogFile::maxLineBytes);
    *size = end - start;
    if (start >= window.start && end <= window.dataEnd && !window.buffer.isEmpty()) {
        *bytes = window.at(start);
        return true;
    }
    if (!file->read(start, end, storage))
        return false;
    *bytes = storage->constData();
    return true;
}

bool LogSearcher::isPlain(qint64 line, const char *bytes, qint64 size) const
{
    return file->isUtf8() && line != droppedMarkLine &&
           bytescan::findTextChange(bytes, bytes + size, true, false) == bytes + size;
}

QString LogSearcher::decodedText(qint64 line, const Window &window, const char *bytes,
                                 qint64 size) const
{
    if (!file->isUtf8()) {
        const qint64 at = line - window.textsFirst;
        return at >= 0 && at < window.texts.size() ? window.texts.at(int(at))
                                                   : file->lineText(line, snapshot);
    }
    const qint64 start = index.byteOffset(line);
    const bool terminated = file->isTerminated(line, snapshot) && lineEnd(line) - start == size;
    return file->decode(bytes, start, start + size, terminated);
}

bool LogSearcher::isLongOutside(qint64 line, const Window &window) const
{
    const qint64 start = index.byteOffset(line);
    const qint64 end = lineEnd(line);
    return file->isUtf8() && end - start > LogFile::longLineBytes &&
           !(start >= window.start && end <= window.dataEnd && !window.buffer.isEmpty());
}

int LogSearcher::findInLine(qint64 line, const Window &window, int offset, bool backward) const
{
    if (isLongOutside(line, window)) {
        const std::shared_ptr<const LogFile::LineMap> map = file->lineMap(line, snapshot);
        if (!map)
            return -1;
        const LongLine text(*this, map, line, true);
        return findInBlock(text, offset == fromLast ? text.length() - 1 : offset, backward,
                           wholeWords);
    }
    QByteArray storage;
    const char *bytes = nullptr;
    qint64 size = 0;
    if (file->isUtf8() && !lineBytes(line, window, &storage, &bytes, &size))
        return -1;
    if (isPlain(line, bytes, size)) {
        const int length = int(bytescan::plainTextLength(bytes, bytes + size));
        return findInBlock(ByteHaystack{bytes, length, rawNeedle},
                           offset == fromLast ? length - 1 : offset, backward, wholeWords);
    }
    QString text = decodedText(line, window, bytes, size);
    text.replace(QChar::Nbsp, QLatin1Char(' '));
    return findInBlock(TextHaystack{text, needle, sensitivity},
                       offset == fromLast ? text.size() - 1 : offset, backward, wholeWords);
}

QVector<int> LogSearcher::findAllInLine(qint64 line, const Window &window) const
{
    if (isLongOutside(line, window)) {
        const std::shared_ptr<const LogFile::LineMap> map = file->lineMap(line, snapshot);
        return map ? findAllInBlock(LongLine(*this, map, line, false)) : QVector<int>();
    }
    QByteArray storage;
    const char *bytes = nullptr;
    qint64 size = 0;
    if (file->isUtf8() && !lineBytes(line, window, &storage, &bytes, &size))
        return {};
    if (isPlain(line, bytes, size)) {
        const int length = int(bytescan::plainTextLength(bytes, bytes + size));
        return findAllInBlock(ByteHaystack{bytes, length, rawNeedle});
    }
    const QString text = decodedText(line, window, bytes, size);
    return findAllInBlock(TextHaystack{text, needle, sensitivity});
}

LogSearcher::Match LogSearcher::find(qint64 from, bool backward, qint64 stopLine) const
{
    if (impossible)
        return {};
    const qint64 lastLine = snapshot.lineCount - 1;
    qint64 position = backward ? from - 1 : from;
    if (position < 0 || position > snapshot.endPosition)
        return {};
    const qint64 line = index.lineAtPosition(position, snapshot.lineCount);
    qint64 offset = position - index.position(line);
    const Window none;
    if (backward && offset == file->lineLength(line, snapshot))
        --offset; // not the line break itself
    const int column = findInLine(line, none, int(offset), backward);
    if (column >= 0)
        return {line, column};
    if (stopLine < 0)
        stopLine = backward ? 0 : lastLine;
    stopLine = std::max<qint64>(0, std::min(stopLine, lastLine));
    return backward ? firstMatch(stopLine, line - 1, true) : firstMatch(line + 1, stopLine, false);
}
