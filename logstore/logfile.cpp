// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/logfile.h"

#include "logstore/bytescan.h"

#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr qint64 windowSize = qint64(1) << 20; // a multiple of the chunk size
constexpr qint64 windowOverlap = 8;            // lets a marker or separator end past the window
constexpr int publishIntervalMs = 15;
const char commMarker[] = "[Comm]";
const int commMarkerLength = 6;

// Whether the converter is past its header, where a leading byte-order mark is dropped. Qt 5's
// codecs set IgnoreHeader when they pass it; Qt 6's keep that in internalState, and there the
// flag (ConvertInitialBom) only forces it.
bool headerSettled(const QTextCodec::ConverterState &state)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    if (state.internalState != 0)
        return true;
#endif
    return state.flags & QTextCodec::IgnoreHeader;
}

void setHeaderOpen(QTextCodec::ConverterState &state, bool open)
{
    state.flags.setFlag(QTextCodec::IgnoreHeader, !open);
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    if (open)
        state.internalState = 0;
#endif
}

// Whether the UTF-8 codec decodes runs of plain ASCII in a vector loop that leaves the stream's
// header open (Qt 5); decoded one by one, the first character settles it (always in Qt 6).
bool asciiKeepsHeader()
{
    static const bool keeps = [] {
        QTextCodec::ConverterState state;
        QTextCodec::codecForMib(106)->toUnicode(QByteArray(64, 'a').constData(), 64, &state);
        return !headerSettled(state);
    }();
    return keeps;
}

bool isBlockSeparator(QChar c)
{
    const ushort u = c.unicode();
    return u == '\n' || u == 0x2029 || u == 0xFDD0 || u == 0xFDD1;
}

// The first UTF-8 U+2029, U+FDD0 or U+FDD1 starting in [from, to) that lies whole below
// `limit`, or nullptr.
const char *findSeparator(const char *from, const char *to, const char *limit)
{
    for (const char *at = from; (at = bytescan::findEither(at, to, char(0xE2), char(0xEF))) < to;
         ++at) {
        const auto c = uchar(*at);
        if (limit - at < 3)
            continue;
        const auto second = uchar(at[1]);
        const auto third = uchar(at[2]);
        if ((c == 0xE2 && second == 0x80 && third == 0xA9) ||
            (c == 0xEF && second == 0xB7 && (third == 0x90 || third == 0x91)))
            return at;
    }
    return nullptr;
}

// The length of the well-formed UTF-8 sequence at `at` that the codec turns into one character
// (two units from four bytes), or 0. Byte-order marks and noncharacters, which a codec may
// treat apart, count as not well-formed here: the codec decodes them.
int sequenceLength(const uchar *at, const uchar *end)
{
    const auto continues = [](uchar c) { return (c & 0xC0) == 0x80; };
    const uchar lead = at[0];
    const qint64 left = end - at;
    if (lead >= 0xC2 && lead <= 0xDF)
        return left >= 2 && continues(at[1]) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (left < 3 || !continues(at[1]) || !continues(at[2]))
            return 0;
        const uint c = (uint(lead & 0x0F) << 12) | (uint(at[1] & 0x3F) << 6) | uint(at[2] & 0x3F);
        if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF) || (c >= 0xFDD0 && c <= 0xFDEF) ||
            c >= 0xFFFE || c == 0xFEFF)
            return 0;
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (left < 4 || !continues(at[1]) || !continues(at[2]) || !continues(at[3]))
            return 0;
        const uint c = (uint(lead & 0x07) << 18) | (uint(at[1] & 0x3F) << 12) |
                       (uint(at[2] & 0x3F) << 6) | uint(at[3] & 0x3F);
        return c < 0x10000 || c > 0x10FFFF || (c & 0xFFFE) == 0xFFFE ? 0 : 4;
    }
    return 0;
}

// Long lines mapped at once at most; a map takes about 60 bytes per 16 KiB of its line.
constexpr size_t keptMaps = 4;
} // namespace

// The line being indexed: where it starts and how much text it has so far.
struct LogFile::OpenLine {
    qint64 start = 0;
    qint64 position = 0;
    qint64 units = 0;
    bool carriageReturn = false;
    bool decoding = false; // a byte >= 0x80 was met: the rest of the line goes through the codec
    QTextCodec::ConverterState state;
    // Its map so far, from the first chunk start inside it: kept when the line turns out long.
    std::vector<LineMap::Checkpoint> checkpoints;

    void reset(qint64 nextStart, qint64 nextPosition)
    {
        start = nextStart;
        position = nextPosition;
        units = 0;
        carriageReturn = false;
        decoding = false;
        checkpoints.clear();
        setHeaderOpen(state, true);
        state.remainingChars = 0;
        state.invalidChars = 0;
    }
};

std::shared_ptr<LogFile> LogFile::open(const QString &fileName)
{
    if (fileName.isEmpty())
        return nullptr;
    // Non-blocking, so that a FIFO without a writer does not hold the caller.
    const int handle = ::open(QFile::encodeName(fileName).constData(),
                              O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (handle < 0)
        return nullptr;
    struct stat info {
    };
    if (fstat(handle, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(handle);
        return nullptr;
    }
    std::shared_ptr<LogFile> file(new LogFile);
    file->fd = handle;
    file->device = info.st_dev;
    file->inode = info.st_ino;
    file->name = fileName;
    file->published.fileSize = info.st_size;
    file->published.indexCount = 1;
    file->published.indexing = true;
    file->index.append(0, 0);
    file->chooseCodec();
    return file;
}

LogFile::~LogFile()
{
    if (fd >= 0)
        ::close(fd);
}

LogSnapshot LogFile::snapshot() const
{
    const std::lock_guard<std::mutex> locker(mutex);
    return published;
}

LogFile::Change LogFile::change() const
{
    struct stat byName {
    };
    struct stat open {
    };
    if (stat(QFile::encodeName(name).constData(), &byName) != 0 || fstat(fd, &open) != 0)
        return Change::Invalid;
    if (byName.st_dev != device || byName.st_ino != inode)
        return Change::Invalid;
    const LogSnapshot known = snapshot();
    if (open.st_size < known.endByte)
        return Change::Invalid;
    // The stream picks its codec from the first four bytes.
    if (codecChosen && codecSampleSize < 4 && open.st_size > codecSampleSize) {
        char head[4] = {};
        const qint64 sample = readSome(0, head, 4);
        const QTextCodec *now = QTextCodec::codecForUtfText(
            QByteArray::fromRawData(head, int(sample)), streamDefaultCodec());
        if (now != codec)
            return Change::Invalid;
    }
    return open.st_size > known.endByte ? Change::Grown : Change::None;
}

qint64 LogFile::readSome(qint64 from, char *into, qint64 size) const
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t got = pread(fd, into + done, size_t(size - done), off_t(from + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += got;
    }
    return done;
}

bool LogFile::read(qint64 from, qint64 to, QByteArray *bytes) const
{
    bytes->resize(int(to - from));
    return readSome(from, bytes->data(), to - from) == to - from;
}

qint64 LogFile::lineEnd(qint64 line, const LogSnapshot &snapshot) const
{
    return isTerminated(line, snapshot) ? index.byteOffset(line + 1) : snapshot.endByte;
}

QString LogFile::lineText(qint64 line, const LogSnapshot &snapshot) const
{
    if (line < 0 || line >= snapshot.lineCount)
        return {};
    if (!utf8)
        return wideTexts(line, 1, snapshot).constFirst();
    const qint64 from = index.byteOffset(line);
    const qint64 end = lineEnd(line, snapshot);
    const bool terminated = isTerminated(line, snapshot) && end - from <= maxLineBytes;
    QByteArray bytes;
    if (!read(from, std::min(end, from + maxLineBytes), &bytes))
        return {};
    return decode(bytes.constData(), from, from + bytes.size(), terminated);
}

QString LogFile::decode(const char *bytes, qint64 from, qint64 to, bool terminated) const
{
    const char *end = bytes + (to - from);
    if (bytescan::findTextChange(bytes, end, true, false) == end) {
        return QString::fromLatin1(bytes, int(bytescan::plainTextLength(bytes, end)));
    }
    // Split where the stream's chunks end, with its converter state carried over; a chunk the
    // stream began before its header flag was cleared may drop a byte-order mark at its start.
    QTextCodec::ConverterState state;
    const qint64 header = headerChunk.load(std::memory_order_acquire);
    QString text;
    for (qint64 at = from; at < to;) {
        const qint64 pieceEnd = std::min(to, (at / chunkSize + 1) * chunkSize);
        const bool headerOpen = at % chunkSize == 0 && at / chunkSize <= header;
        setHeaderOpen(state, headerOpen);
        text += codec->toUnicode(bytes + (at - from), int(pieceEnd - at), &state);
        at = pieceEnd;
    }
    text.remove(QLatin1Char('\r'));
    if (terminated)
        text.chop(1);
    return text;
}

size_t LogFile::LineMap::checkpointAt(qint64 column) const
{
    const auto after = std::upper_bound(
        checkpoints.begin(), checkpoints.end(), column,
        [](qint64 value, const Checkpoint &point) { return value < point.column; });
    return after == checkpoints.begin() ? 0 : size_t(after - checkpoints.begin()) - 1;
}

std::shared_ptr<const LogFile::LineMap> LogFile::lineMap(qint64 line,
                                                         const LogSnapshot &snapshot) const
{
    if (!utf8 || line < 0 || line >= snapshot.lineCount)
        return nullptr;
    const qint64 start = index.byteOffset(line);
    const qint64 end = std::min(lineEnd(line, snapshot), start + maxLineBytes);
    {
        const std::lock_guard<std::mutex> locker(mapsMutex);
        // A line that grew (the last one, followed) is mapped anew.
        const auto kept = std::find_if(maps.begin(), maps.end(), [&](const auto &map) {
            return map->start == start && map->end == end;
        });
        if (kept != maps.end()) {
            std::rotate(maps.begin(), kept, kept + 1);
            return maps.front();
        }
    }
    auto map = std::make_shared<LineMap>();
    map->start = start;
    map->end = end;
    map->checkpoints.reserve(size_t((end - start) / chunkSize + 2));
    const qint64 header = headerChunk.load(std::memory_order_acquire);
    QTextCodec::ConverterState state;
    QByteArray bytes;
    qint64 units = 0;
    bool carriageReturn = false;
    // A window of the stream's chunks is read at a time, and each chunk counted as decode()
    // decodes it.
    for (qint64 at = start; at < end;) {
        const qint64 readEnd = std::min(end, (at / chunkSize + 64) * chunkSize);
        if (!read(at, readEnd, &bytes))
            return nullptr;
        for (qint64 piece = at; piece < readEnd;) {
            const qint64 pieceEnd = std::min(readEnd, (piece / chunkSize + 1) * chunkSize);
            setHeaderOpen(state, piece % chunkSize == 0 && piece / chunkSize <= header);
            LineMap::Checkpoint point;
            point.byte = piece;
            point.column = units;
            save(state, &point.state);
            map->checkpoints.push_back(point);
            units += countUnits(bytes.constData() + (piece - at), pieceEnd - piece, state,
                                &carriageReturn);
            piece = pieceEnd;
        }
        at = readEnd;
    }
    const bool terminated = isTerminated(line, snapshot) && end == lineEnd(line, snapshot);
    map->length = std::max<qint64>(0, units - (terminated ? 1 : 0));
    keepMap(map);
    return map;
}

void LogFile::keepMap(const std::shared_ptr<const LineMap> &map) const
{
    const std::lock_guard<std::mutex> locker(mapsMutex);
    // Another thread may have mapped the same line meanwhile.
    const auto same = std::find_if(maps.begin(), maps.end(), [&](const auto &kept) {
        return kept->start == map->start && kept->end == map->end;
    });
    if (same != maps.end())
        maps.erase(same);
    maps.insert(maps.begin(), map);
    if (maps.size() > keptMaps)
        maps.pop_back();
}

QString LogFile::decodeRange(qint64 from, qint64 to, const SavedState &saved, qint64 units) const
{
    QTextCodec::ConverterState state;
    restore(saved, &state);
    const qint64 header = headerChunk.load(std::memory_order_acquire);
    QString text;
    QByteArray bytes;
    for (qint64 at = from; at < to && text.size() < units;) {
        // A few chunks read at once, then decoded chunk by chunk as decode() does.
        const qint64 readStart = at;
        const qint64 readEnd = std::min(to, (at / chunkSize + 4) * chunkSize);
        if (!read(readStart, readEnd, &bytes))
            break;
        for (; at < readEnd && text.size() < units;) {
            const qint64 pieceEnd = std::min(readEnd, (at / chunkSize + 1) * chunkSize);
            setHeaderOpen(state, at % chunkSize == 0 && at / chunkSize <= header);
            QString decoded =
                codec->toUnicode(bytes.constData() + (at - readStart), int(pieceEnd - at), &state);
            decoded.remove(QLatin1Char('\r'));
            text += decoded;
            at = pieceEnd;
        }
    }
    return text;
}

QString LogFile::mapText(const LineMap &map, size_t from, qint64 units) const
{
    if (from >= map.checkpoints.size())
        return QString();
    const LineMap::Checkpoint &point = map.checkpoints[from];
    return decodeRange(point.byte, map.end, point.state, units);
}

QString LogFile::lineSlice(qint64 line, qint64 column, qint64 count,
                           const LogSnapshot &snapshot) const
{
    if (line < 0 || line >= snapshot.lineCount)
        return QString();
    column = std::max<qint64>(0, column);
    count = std::min(count, lineLength(line, snapshot) - column);
    if (count <= 0)
        return QString();
    if (!utf8)
        return wideSlice(line, column, count, snapshot);
    if (!isLongLine(line, snapshot))
        return lineText(line, snapshot).mid(int(column), int(count));
    // Near the start, as the first screen shows it, the line is decoded from its start without
    // a map, as far as its first longLineBytes bytes go.
    const qint64 start = index.byteOffset(line);
    if (column + count <= longLineBytes / 4) {
        const QString head =
            decodeRange(start, start + longLineBytes, SavedState(), column + count);
        if (head.size() >= column + count)
            return head.mid(int(column), int(count));
    }
    const std::shared_ptr<const LineMap> map = lineMap(line, snapshot);
    if (!map)
        return QString();
    const size_t from = map->checkpointAt(column);
    const qint64 skipped = column - map->checkpoints[from].column;
    return mapText(*map, from, skipped + count).mid(int(skipped), int(count));
}

QStringList LogFile::lineHeads(qint64 first, qint64 count, qint64 limit,
                               const LogSnapshot &snapshot) const
{
    first = std::max<qint64>(0, first);
    const qint64 end = std::min(first + count, snapshot.lineCount);
    QStringList texts;
    for (qint64 line = first; line < end;) {
        if (isLongLine(line, snapshot)) {
            texts.append(lineSlice(line, 0, limit, snapshot));
            ++line;
            continue;
        }
        // Short lines are read together up to the next long one.
        qint64 next = line + 1;
        while (next < end && !isLongLine(next, snapshot))
            ++next;
        for (QString &text : lineTexts(line, next - line, snapshot)) {
            text.truncate(int(std::min<qint64>(limit, INT_MAX)));
            texts.append(text);
        }
        line = next;
    }
    return texts;
}

QString LogFile::wideSlice(qint64 line, qint64 column, qint64 count,
                           const LogSnapshot &snapshot) const
{
    // Decoded from the chunk that holds the slice's first character, with the stream's state
    // before it: the last chunk from the line's own on whose text starts at or before it.
    const qint64 position = index.position(line) + column;
    qint64 chunk = index.byteOffset(line) / chunkSize;
    QTextCodec::ConverterState state;
    qint64 pendingStart = 0;
    {
        const std::lock_guard<std::mutex> locker(mutex);
        const qint64 known = std::min<qint64>(qint64(chunkStarts.size()),
                                              (snapshot.endByte + chunkSize - 1) / chunkSize);
        if (chunk >= known)
            return QString();
        const auto first = chunkStarts.begin() + chunk;
        const auto after = std::upper_bound(
            first, chunkStarts.begin() + known, position,
            [](qint64 value, const ChunkStart &start) { return value < start.position; });
        if (after != first)
            chunk = (after - chunkStarts.begin()) - 1;
        restore(chunkStarts[size_t(chunk)].state, &state);
        pendingStart = chunkStarts[size_t(chunk)].position;
    }
    QString pending;
    QByteArray bytes;
    for (; pendingStart + pending.size() < position + count; ++chunk) {
        const qint64 chunkStart = chunk * chunkSize;
        if (chunkStart >= snapshot.endByte ||
            !read(chunkStart, std::min(chunkStart + chunkSize, snapshot.endByte), &bytes))
            break;
        QString piece = codec->toUnicode(bytes.constData(), bytes.size(), &state);
        piece.remove(QLatin1Char('\r'));
        pending += piece;
    }
    return pending.mid(int(position - pendingStart), int(count));
}

void LogFile::save(const QTextCodec::ConverterState &state, SavedState *saved)
{
    saved->flags = int(state.flags);
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    saved->internalState = state.internalState;
#endif
    saved->remainingChars = int(state.remainingChars);
    std::copy(std::begin(state.state_data), std::end(state.state_data), saved->data);
}

void LogFile::restore(const SavedState &saved, QTextCodec::ConverterState *state)
{
    state->flags = QTextCodec::ConversionFlags(saved.flags);
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    state->internalState = saved.internalState;
#endif
    state->remainingChars = saved.remainingChars;
    state->invalidChars = 0;
    std::copy(std::begin(saved.data), std::end(saved.data), state->state_data);
}

QTextCodec *LogFile::streamDefaultCodec()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return QTextCodec::codecForMib(106);
#else
    return QTextCodec::codecForLocale();
#endif
}

bool LogFile::chooseCodec()
{
    char head[4] = {};
    const qint64 sample = readSome(0, head, 4);
    // As the stream does: a byte-order mark picks the codec, else its default.
    QTextCodec *chosen = QTextCodec::codecForUtfText(QByteArray::fromRawData(head, int(sample)),
                                                     streamDefaultCodec());
    if (codecChosen && chosen != codec)
        return false;
    codec = chosen;
    utf8 = codec->mibEnum() == 106;
    codecChosen = true;
    codecSampleSize = sample;
    return true;
}

void LogFile::findHeaderChunk(const char *window, qint64 windowStart, qint64 windowEnd)
{
    for (qint64 chunk = std::max(nextHeaderChunk, windowStart / chunkSize);
         headerChunk.load(std::memory_order_relaxed) == unknownChunk &&
         chunk * chunkSize < windowEnd;
         ++chunk) {
        const char *bytes = window + (chunk * chunkSize - windowStart);
        const qint64 length = std::min(chunkSize, windowEnd - chunk * chunkSize);
        const bool partial = length < chunkSize;
        // Plain ASCII in whole 16-byte blocks goes through the codec's vector loop, which
        // leaves the header flag alone.
        if (headerState.remainingChars == 0 && length % 16 == 0 && asciiKeepsHeader() &&
            bytescan::isAscii(bytes, bytes + length)) {
            if (!partial)
                nextHeaderChunk = chunk + 1;
            continue;
        }
        QTextCodec::ConverterState state;
        restore(headerState, &state);
        const int decoded = codec->toUnicode(bytes, int(length), &state).size();
        if (headerSettled(state)) {
            QTextCodec::ConverterState settled;
            restore(headerState, &settled);
            setHeaderOpen(settled, false);
            const bool dropped = codec->toUnicode(bytes, int(length), &settled).size() != decoded;
            droppedMark.store(dropped ? chunk * chunkSize : -1, std::memory_order_release);
            headerFromPartial = partial;
            headerChunk.store(chunk, std::memory_order_release);
            if (!partial)
                nextHeaderChunk = chunk + 1;
            return;
        }
        if (!partial) {
            save(state, &headerState);
            nextHeaderChunk = chunk + 1;
        }
    }
}

void LogFile::feed(OpenLine &line, const char *bytes, qint64 from, qint64 to) const
{
    const qint64 header = headerChunk.load(std::memory_order_relaxed);
    for (qint64 at = from; at < to;) {
        const qint64 pieceEnd = std::min(to, (at / chunkSize + 1) * chunkSize);
        const bool headerOpen = at % chunkSize == 0 && at / chunkSize <= header;
        if (at % chunkSize == 0)
            markChunkStart(line, at);
        setHeaderOpen(line.state, headerOpen);
        line.units +=
            countUnits(bytes + (at - from), pieceEnd - at, line.state, &line.carriageReturn);
        at = pieceEnd;
    }
}

qint64 LogFile::countUnits(const char *bytes, qint64 size, QTextCodec::ConverterState &state,
                           bool *carriageReturn) const
{
    qint64 units = 0;
    qint64 returns = 0;
    const char *end = bytes + size;
    const auto decoded = [&](const char *from, const char *to) {
        const QString text = codec->toUnicode(from, int(to - from), &state);
        units += text.size();
        returns += text.count(QLatin1Char('\r'));
    };
    // An open header may drop a byte-order mark at the start; plain ASCII it leaves alone.
    if (!utf8 ||
        (!headerSettled(state) && (state.remainingChars != 0 || !bytescan::isAscii(bytes, end)))) {
        decoded(bytes, end);
    } else {
        // Where a sequence is open or the bytes are not well-formed, the codec takes them up
        // to and with the next ASCII byte: it is between characters after that, as it is when
        // it decodes the chunk at once.
        const auto byCodec = [&](const char *from) {
            const char *to = from;
            while (to < end && uchar(*to) >= 0x80)
                ++to;
            to = to < end ? to + 1 : end;
            decoded(from, to);
            return to;
        };
        const char *at = state.remainingChars != 0 ? byCodec(bytes) : bytes;
        while (at < end) {
            const char *high = bytescan::findHigh(at, end, &returns);
            units += high - at;
            at = high;
            while (at < end && uchar(*at) >= 0x80) {
                const int length = sequenceLength(reinterpret_cast<const uchar *>(at),
                                                  reinterpret_cast<const uchar *>(end));
                if (length == 0) {
                    at = byCodec(at);
                    break;
                }
                units += length == 4 ? 2 : 1;
                at += length;
            }
        }
    }
    *carriageReturn = *carriageReturn || returns > 0;
    return units - returns;
}

void LogFile::checkCommMarker(const OpenLine &line, qint64 end, bool terminated, const char *bytes)
{
    // Plain bytes were searched as they came; text can differ from them only where carriage
    // returns inside a line were dropped or where the one dropped byte-order mark sits.
    const qint64 mark = droppedMark.load(std::memory_order_relaxed);
    const bool holdsMark = mark >= line.start && mark < end;
    if (hasCommMarker || !(line.carriageReturn || holdsMark))
        return;
    const qint64 readEnd = std::min(end, line.start + maxLineBytes);
    QByteArray storage;
    if (!bytes) {
        if (!read(line.start, readEnd, &storage))
            return;
        bytes = storage.constData();
    }
    const char *bytesEnd = bytes + (readEnd - line.start);
    if (!holdsMark && bytescan::findTextChange(bytes, bytesEnd, false, false) == bytesEnd)
        return;
    hasCommMarker = decode(bytes, line.start, readEnd, terminated && readEnd == end)
                        .contains(QLatin1String(commMarker));
}

void LogFile::markChunkStart(OpenLine &line, qint64 at)
{
    if (at <= line.start || (!line.checkpoints.empty() && line.checkpoints.back().byte == at))
        return;
    if (line.checkpoints.empty()) {
        LineMap::Checkpoint first; // the line's start, with the converter as it starts a line
        first.byte = line.start;
        line.checkpoints.push_back(first);
    }
    LineMap::Checkpoint point;
    point.byte = at;
    point.column = line.units;
    save(line.state, &point.state);
    line.checkpoints.push_back(point);
}

void LogFile::keepLineMap(OpenLine &line, qint64 end)
{
    // The line as lineMap() would map it, which the indexing pass has just counted.
    if (end - line.start <= longLineBytes || end - line.start > maxLineBytes ||
        line.checkpoints.empty())
        return;
    auto map = std::make_shared<LineMap>();
    map->start = line.start;
    map->end = end;
    map->length = line.units;
    map->checkpoints = std::move(line.checkpoints);
    line.checkpoints.clear();
    keepMap(map);
}

void LogFile::endLine(OpenLine &line, qint64 nextStart, const char *window, qint64 windowStart)
{
    // The line's bytes are at hand when it began in this window.
    checkCommMarker(line, nextStart, true,
                    line.start >= windowStart ? window + (line.start - windowStart) : nullptr);
    keepLineMap(line, nextStart);
    longestLine = std::max(longestLine, line.units);
    const qint64 nextPosition = line.position + line.units + 1;
    index.append(nextStart, nextPosition);
    line.reset(nextStart, nextPosition);
}

void LogFile::scanWindow(const char *window, qint64 windowStart, qint64 windowEnd, qint64 dataEnd,
                         qint64 &at, OpenLine &line)
{
    const char *limit = window + (windowEnd - windowStart);
    const char *dataLimit = window + (dataEnd - windowStart);
    while (at < windowEnd) {
        const char *from = window + (at - windowStart);
        if (!line.decoding) {
            // To the next chunk start at most, where a long line's map takes a checkpoint.
            const qint64 chunkEnd = std::min(windowEnd, (at / chunkSize + 1) * chunkSize);
            const char *scanLimit = window + (chunkEnd - windowStart);
            qint64 returns = 0;
            const char *stop = bytescan::findLineEndOrHigh(from, scanLimit, &returns);
            line.units += (stop - from) - returns;
            line.carriageReturn = line.carriageReturn || returns > 0;
            at = windowStart + (stop - window);
            if (stop == scanLimit) {
                if (at % chunkSize == 0)
                    markChunkStart(line, at);
                continue;
            }
            if (*stop == '\n') {
                ++at;
                endLine(line, at, window, windowStart);
                continue;
            }
            line.decoding = true;
            from = stop;
        }
        // From the first byte >= 0x80 on, the codec counts the units, up to the line's end or
        // the window's; a UTF-8 U+2029, U+FDD0 or U+FDD1 ends the line as a line feed does.
        const char *lineFeed = bytescan::findLineFeed(from, limit);
        const char *separator = findSeparator(from, lineFeed, dataLimit);
        const char *end = separator ? separator + 3 : lineFeed < limit ? lineFeed + 1 : limit;
        const qint64 endOffset = windowStart + (end - window);
        feed(line, from, at, endOffset);
        at = endOffset;
        if (separator || lineFeed < limit) {
            line.units -= 1; // the separator itself
            endLine(line, at, window, windowStart);
        }
    }
}

void LogFile::indexPass(const std::atomic<bool> &stop, const Publish &publish)
{
    if (headerFromPartial) {
        // The chunk that settled it has grown: settle it again.
        headerFromPartial = false;
        droppedMark.store(-1, std::memory_order_release);
        headerChunk.store(unknownChunk, std::memory_order_release);
    }
    OpenLine line;
    const qint64 last = index.count() - 1;
    line.reset(index.byteOffset(last), index.position(last));
    qint64 at = line.start;
    if (!utf8) {
        // Whole chunks are decoded again from the one the last line started in.
        at = line.start / chunkSize * chunkSize;
    }

    struct stat info {
    };
    qint64 fileSize = fstat(fd, &info) == 0 ? qint64(info.st_size) : 0;
    QByteArray buffer(int(windowSize + windowOverlap), Qt::Uninitialized);
    QElapsedTimer sincePublished;
    sincePublished.start();
    bool publishedLines = false;
    const auto snapshotNow = [&](bool finished) {
        LogSnapshot now;
        now.indexCount = index.count();
        now.lineCount = finished ? now.indexCount : now.indexCount - 1;
        now.endByte = at;
        now.endPosition =
            finished ? line.position + line.units : std::max<qint64>(0, line.position - 1);
        now.longestLine = finished ? std::max(longestLine, line.units) : longestLine;
        now.fileSize = std::max(fileSize, at);
        now.hasCommMarker = hasCommMarker;
        now.indexing = !finished;
        {
            const std::lock_guard<std::mutex> locker(mutex);
            published = now;
        }
        publish(now);
    };

    while (!stop.load(std::memory_order_relaxed)) {
        const qint64 windowStart = at / windowSize * windowSize;
        const qint64 got = readSome(windowStart, buffer.data(), windowSize + windowOverlap);
        const qint64 dataEnd = windowStart + got;
        const bool lastWindow = got < windowSize + windowOverlap;
        const qint64 windowEnd = lastWindow ? dataEnd : windowStart + windowSize;
        if (windowEnd <= at)
            break;
        const char *window = buffer.constData();
        if (utf8) {
            findHeaderChunk(window, windowStart, windowEnd);
            if (!hasCommMarker) {
                const bytescan::Needle marker(QByteArray(commMarker), false);
                hasCommMarker =
                    marker.findIn(window + (std::max(at, windowStart) - windowStart),
                                  window + (std::min(dataEnd, windowEnd + commMarkerLength - 1) -
                                            windowStart)) != nullptr;
            }
            scanWindow(window, windowStart, windowEnd, dataEnd, at, line);
        } else {
            decodeWindow(window, windowStart, windowEnd, line);
            at = windowEnd;
        }
        if (lastWindow)
            break;
        if (sincePublished.elapsed() >= publishIntervalMs ||
            (!publishedLines && index.count() > 1)) {
            publishedLines = index.count() > 1;
            snapshotNow(false);
            sincePublished.restart();
        }
    }
    if (stop.load(std::memory_order_relaxed))
        return;
    // The last line runs to the end of the file; a sequence it leaves open is dropped, as the
    // stream drops what its converter still holds at the end.
    checkCommMarker(line, at, false, nullptr);
    if (utf8)
        keepLineMap(line, at);
    snapshotNow(true);
}

void LogFile::decodeWindow(const char *window, qint64 windowStart, qint64 windowEnd, OpenLine &line)
{
    for (qint64 chunk = windowStart / chunkSize; chunk * chunkSize < windowEnd; ++chunk) {
        const qint64 chunkStart = chunk * chunkSize;
        const qint64 length = std::min(chunkSize, windowEnd - chunkStart);
        ChunkStart start;
        {
            const std::lock_guard<std::mutex> locker(mutex);
            if (chunk < qint64(chunkStarts.size())) {
                start = chunkStarts[size_t(chunk)];
            } else {
                start.state = wideState;
                start.position = chunk == 0 ? 0 : wideDecodedEnd;
                chunkStarts.push_back(start);
            }
        }
        QTextCodec::ConverterState state;
        restore(start.state, &state);
        QString text = codec->toUnicode(window + (chunkStart - windowStart), int(length), &state);
        text.remove(QLatin1Char('\r'));
        if (length == chunkSize)
            save(state, &wideState);
        wideDecodedEnd = start.position + text.size();
        // Characters before the open line belong to lines indexed by an earlier pass.
        const qint64 skip = std::max<qint64>(0, line.position + line.units - start.position);
        if (!hasCommMarker) {
            hasCommMarker = (wideTail + text).contains(QLatin1String(commMarker));
            wideTail = text.right(commMarkerLength - 1);
        }
        for (qint64 i = skip; i < text.size(); ++i) {
            if (!isBlockSeparator(text.at(int(i)))) {
                ++line.units;
                continue;
            }
            longestLine = std::max(longestLine, line.units);
            const qint64 nextPosition = line.position + line.units + 1;
            // A line is found again by decoding the chunk that holds its first character.
            const qint64 nextStart = i + 1 < text.size() ? chunkStart : chunkStart + chunkSize;
            index.append(nextStart, nextPosition);
            line.reset(nextStart, nextPosition);
        }
    }
}

QStringList LogFile::lineTexts(qint64 first, qint64 count, const LogSnapshot &snapshot) const
{
    first = std::max<qint64>(0, first);
    count = std::min(count, snapshot.lineCount - first);
    QStringList texts;
    if (count <= 0)
        return texts;
    texts.reserve(int(count));
    if (!utf8)
        return wideTexts(first, count, snapshot);
    const qint64 from = index.byteOffset(first);
    const qint64 to = lineEnd(first + count - 1, snapshot);
    QByteArray bytes;
    if (to - from > batchBytes || !read(from, to, &bytes)) {
        for (qint64 line = first; line < first + count; ++line)
            texts.append(lineText(line, snapshot));
        return texts;
    }
    for (qint64 line = first; line < first + count; ++line) {
        const qint64 start = index.byteOffset(line);
        const qint64 end = lineEnd(line, snapshot);
        texts.append(
            decode(bytes.constData() + (start - from), start, end, isTerminated(line, snapshot)));
    }
    return texts;
}

QStringList LogFile::wideTexts(qint64 first, qint64 count, const LogSnapshot &snapshot) const
{
    // The chunks are decoded in order from the one that holds the first line's start, with the
    // stream's converter state before it, and the text is cut into lines.
    QStringList texts;
    QTextCodec::ConverterState state;
    QString pending;         // decoded text not yet handed out
    qint64 pendingStart = 0; // its document position
    bool started = false;
    QByteArray bytes;
    qint64 line = first;
    const qint64 end = first + count;
    for (qint64 chunk = index.byteOffset(first) / chunkSize; line < end; ++chunk) {
        const qint64 chunkStart = chunk * chunkSize;
        if (chunkStart >= snapshot.endByte)
            break;
        {
            const std::lock_guard<std::mutex> locker(mutex);
            if (chunk >= qint64(chunkStarts.size()))
                break;
            if (!started) {
                restore(chunkStarts[size_t(chunk)].state, &state);
                pendingStart = chunkStarts[size_t(chunk)].position;
                started = true;
            }
        }
        if (!read(chunkStart, std::min(chunkStart + chunkSize, snapshot.endByte), &bytes))
            break;
        QString piece = codec->toUnicode(bytes.constData(), bytes.size(), &state);
        piece.remove(QLatin1Char('\r'));
        pending += piece;
        for (; line < end; ++line) {
            const qint64 position = index.position(line);
            const qint64 length = std::min(lineLength(line, snapshot), maxLineBytes);
            if (position + length > pendingStart + pending.size())
                break;
            texts.append(pending.mid(int(position - pendingStart), int(length)));
        }
        const qint64 consumed = line < end ? index.position(line) - pendingStart : 0;
        if (consumed > chunkSize) {
            pending.remove(0, int(consumed));
            pendingStart += consumed;
        }
    }
    while (texts.size() < count)
        texts.append(QString());
    return texts;
}
