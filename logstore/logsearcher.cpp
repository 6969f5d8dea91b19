#include "logstore/logsearcher.h"

#include <QStringList>
#include <algorithm>

namespace
{
constexpr qint64 windowSize = qint64(1) << 20;
constexpr qint64 textBatch = 2048; // lines decoded together where every line is decoded

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
} // namespace

// A stretch of the file read at once.
struct LogSearcher::Window {
    QByteArray buffer;
    qint64 start = 0;
    qint64 end = 0;     // of the stretch searched
    qint64 dataEnd = 0; // of the bytes held, a little past `end`
    QStringList texts;  // or, where every line is decoded, the texts of lines from textsFirst
    qint64 textsFirst = 0;
};

LogSearcher::LogSearcher(std::shared_ptr<const LogFile> file, const LogSnapshot &snapshot,
                         const QString &needle, Qt::CaseSensitivity sensitivity, bool wholeWords,
                         Mode mode)
    : file(std::move(file)), snapshot(snapshot), needle(needle), sensitivity(sensitivity),
      wholeWords(wholeWords), mode(mode)
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
    const bool isAscii =
        std::all_of(ascii.cbegin(), ascii.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (isAscii) {
        rawNeedle = bytescan::Needle(ascii.toLatin1(), ignoreCase);
        const QByteArray bytes = ascii.toLatin1();
        decodeAllHigh = (mode == Mode::Step && bytes.contains(' ')) ||
                        (ignoreCase && std::any_of(bytes.cbegin(), bytes.cend(), [](char c) {
                             return foldedFromAbove().contains(c);
                         }));
    } else {
        decodeAllHigh = true;
    }
    if (this->file->isUtf8() && this->file->droppedMarkOffset() >= 0 &&
        this->file->droppedMarkOffset() < snapshot.endByte) {
        droppedMarkLine =
            this->file->index.lineAtByte(this->file->droppedMarkOffset(), snapshot.lineCount);
    }
}

qint64 LogSearcher::lineAtByte(qint64 offset, qint64 *hint) const
{
    const LogIndex &index = file->index;
    qint64 line = *hint;
    // Hits come in order, mostly a line or a few apart.
    for (int step = 0; step < 8 && line + 1 < snapshot.lineCount; ++step) {
        if (index.byteOffset(line + 1) > offset)
            return *hint = line;
        ++line;
    }
    return *hint = index.lineAtByte(offset, snapshot.lineCount);
}

void LogSearcher::candidates(const Window &window, qint64 from, qint64 to,
                             std::vector<qint64> *lines) const
{
    lines->clear();
    const char *base = window.buffer.constData() - window.start;
    qint64 hint = file->index.lineAtByte(from, snapshot.lineCount);
    if (!rawNeedle.isEmpty()) {
        // Hits start before `to` and may end in the bytes held past it.
        const char *dataEnd = base + window.dataEnd;
        for (qint64 at = from; at < to;) {
            const char *hit =
                rawNeedle.findIn(base + at, std::min(dataEnd, base + to + rawNeedle.size() - 1));
            if (!hit)
                break;
            const qint64 line = lineAtByte(hit - base, &hint);
            lines->push_back(line);
            at = file->lineEnd(line, snapshot);
        }
    }
    hint = file->index.lineAtByte(from, snapshot.lineCount);
    for (qint64 at = from; at < to;) {
        const char *special = bytescan::findTextChange(base + at, base + to, decodeAllHigh, true);
        if (special == base + to)
            break;
        const qint64 line = lineAtByte(special - base, &hint);
        lines->push_back(line);
        at = file->lineEnd(line, snapshot);
    }
    if (droppedMarkLine >= 0 && file->index.byteOffset(droppedMarkLine) < to &&
        file->lineEnd(droppedMarkLine, snapshot) > from)
        lines->push_back(droppedMarkLine);
    std::sort(lines->begin(), lines->end());
    lines->erase(std::unique(lines->begin(), lines->end()), lines->end());
}

bool LogSearcher::visitLines(qint64 first, qint64 last, bool backward,
                             const std::function<bool(qint64, const Window &)> &visit,
                             const std::atomic<bool> *stop, const Done &done) const
{
    if (first > last)
        return true;
    Window window;
    if (!file->isUtf8()) {
        // Every line is decoded, a batch of lines at a time.
        const qint64 total = last - first + 1;
        for (qint64 batch = 0; batch < total; batch += textBatch) {
            if (stop && stop->load(std::memory_order_relaxed))
                return false;
            const qint64 count = std::min(textBatch, total - batch);
            const qint64 from = backward ? last - batch - count + 1 : first + batch;
            window.texts = file->lineTexts(from, count, snapshot);
            window.textsFirst = from;
            for (qint64 i = 0; i < count; ++i) {
                if (visit(backward ? from + count - 1 - i : from + i, window))
                    return true;
            }
            if (done)
                done(batch + count, total);
        }
        return true;
    }

    const qint64 rangeStart = file->index.byteOffset(first);
    const qint64 rangeEnd = file->lineEnd(last, snapshot);
    const qint64 total = rangeEnd - rangeStart;
    const qint64 overlap = std::max(0, rawNeedle.size() - 1);
    std::vector<qint64> lines;
    qint64 lastVisited = backward ? last + 1 : first - 1;
    for (qint64 windowIndex = 0;; ++windowIndex) {
        if (stop && stop->load(std::memory_order_relaxed))
            return false;
        const qint64 from = backward
                                ? std::max(rangeStart, rangeEnd - (windowIndex + 1) * windowSize)
                                : rangeStart + windowIndex * windowSize;
        const qint64 to =
            backward ? rangeEnd - windowIndex * windowSize : std::min(rangeEnd, from + windowSize);
        if (from >= to)
            break;
        window.start = from;
        window.end = to;
        const qint64 wanted = std::min(rangeEnd, to + overlap) - from;
        window.buffer.resize(int(wanted));
        window.dataEnd = from + wanted;
        if (!file->read(from, window.dataEnd, &window.buffer))
            return true; // the file lost bytes under us: nothing more to find
        candidates(window, from, to, &lines);
        if (backward)
            std::reverse(lines.begin(), lines.end());
        for (const qint64 line : lines) {
            if (line < first || line > last ||
                (backward ? line >= lastVisited : line <= lastVisited))
                continue;
            lastVisited = line;
            if (visit(line, window))
                return true;
        }
        if (done)
            done(std::min(total, (windowIndex + 1) * windowSize), total);
        if (backward ? from == rangeStart : to == rangeEnd)
            break;
    }
    return true;
}

bool LogSearcher::lineBytes(qint64 line, const Window &window, QByteArray *storage,
                            const char **bytes, qint64 *size) const
{
    const qint64 start = file->index.byteOffset(line);
    const qint64 end = std::min(file->lineEnd(line, snapshot), start + LogFile::maxLineBytes);
    *size = end - start;
    if (start >= window.start && end <= window.dataEnd && !window.buffer.isEmpty()) {
        *bytes = window.buffer.constData() + (start - window.start);
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
    const qint64 start = file->index.byteOffset(line);
    const bool terminated =
        file->isTerminated(line, snapshot) && file->lineEnd(line, snapshot) - start == size;
    return file->decode(bytes, start, start + size, terminated);
}

int LogSearcher::findInLine(qint64 line, const Window &window, int offset, bool backward) const
{
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

QVector<int> LogSearcher::findAllInLine(qint64 line, const Window &window, QString *text) const
{
    QByteArray storage;
    const char *bytes = nullptr;
    qint64 size = 0;
    if (file->isUtf8() && !lineBytes(line, window, &storage, &bytes, &size))
        return {};
    if (isPlain(line, bytes, size)) {
        const int length = int(bytescan::plainTextLength(bytes, bytes + size));
        const QVector<int> columns = findAllInBlock(ByteHaystack{bytes, length, rawNeedle});
        if (!columns.isEmpty())
            *text = QString::fromLatin1(bytes, length);
        return columns;
    }
    *text = decodedText(line, window, bytes, size);
    return findAllInBlock(TextHaystack{*text, needle, sensitivity});
}

LogSearcher::Match LogSearcher::find(qint64 from, bool backward, qint64 stopLine) const
{
    if (impossible)
        return {};
    const LogIndex &index = file->index;
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

    Match match;
    const auto visit = [&](qint64 candidate, const Window &window) {
        // Whole lines: forwards from their start, backwards from their last character.
        const int found = findInLine(candidate, window, backward ? fromLast : 0, backward);
        if (found < 0)
            return false;
        match = {candidate, found};
        return true;
    };
    if (backward)
        visitLines(stopLine, line - 1, true, visit, nullptr, nullptr);
    else
        visitLines(line + 1, stopLine, false, visit, nullptr, nullptr);
    return match;
}

bool LogSearcher::findAll(const Found &found, const Done &done, const std::atomic<bool> &stop) const
{
    if (impossible)
        return !stop.load();
    return visitLines(
        0, snapshot.lineCount - 1, false,
        [&](qint64 line, const Window &window) {
            QString text;
            const QVector<int> columns = findAllInLine(line, window, &text);
            if (!columns.isEmpty())
                found(line, text, columns);
            return false;
        },
        &stop, done);
}
