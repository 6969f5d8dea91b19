// SPDX-License-Identifier: GPL-3.0-or-later
#include "telegram/telegramrows.h"

#include "telegram/linedetails.h"
#include "telegram/recordtext.h"

#include <cstring>
#include <string_view>

namespace
{
constexpr char marker[] = "[Comm]";
constexpr qint64 markerLength = 6;
// linetime reads a line's first 40 characters, which UTF-8 holds in at most 160 bytes.
constexpr qint64 timeBytes = 4 * linetime::searchedCharacters;

// isReceivedLine over the line's UTF-8 bytes.
bool receivedBytes(const char *line, qint64 length)
{
    const std::string_view text(line, size_t(length));
    return text.find("eceived") != std::string_view::npos ||
           text.find("ecieved") != std::string_view::npos;
}

// Offset of the marker in a line of UTF-8 bytes, -1 when absent.
qint64 findCommMarker(const char *line, qint64 length)
{
    const char *end = line + length;
    const char *p = line;
    // Most lines hold the marker at their first '['.
    while (end - p >= markerLength) {
        p = static_cast<const char *>(std::memchr(p, '[', size_t(end - p - markerLength + 1)));
        if (!p)
            return -1;
        if (std::memcmp(p + 1, marker + 1, markerLength - 1) == 0)
            return p - line;
        ++p;
    }
    return -1;
}
} // namespace

struct TelegramRowReader::DataRun {
    QString data;
    int count = 0;
    bool closed = false;
};

TelegramRowReader::TelegramRowReader(TelegramRowOptions options, Sink sink)
    : options(options), decoder(false), sink(std::move(sink))
{
}

void TelegramRowReader::addLine(const char *line, qint64 length)
{
    ++lineNumber;
    if (options.tableFields)
        noteTime(line, length);
    // A line without the marker is NoTelegram and leaves the decoder's state alone.
    const qint64 markerOffset = findCommMarker(line, length);
    if (markerOffset < 0) {
        if (openRun) {
            closeRun();
            release(false);
        }
        return;
    }
    held.emplace_back();
    Held &entry = held.back();
    TelegramRow &row = entry.row;
    row.lineNumber = lineNumber;
    row.time = lastTime;
    decoder.decodeUtf8(line, int(length), int(markerOffset), row.record);
    if (options.tableFields || options.dataContext) {
        row.received = receivedBytes(line, length);
        const QString text = QString::fromUtf8(line, int(length));
        if (options.tableFields)
            row.bytes = parseHexBytes(text, text.indexOf(commMarker) + commMarker.size());
        if (options.dataContext)
            noteRawData(entry, text);
    }
    release(false);
}

void TelegramRowReader::finish()
{
    closeRun();
    release(true);
}

void TelegramRowReader::noteTime(const char *line, qint64 length)
{
    const int head = int(qMin(length, timeBytes));
    bool ascii = true;
    for (int i = 0; i < head && ascii; ++i)
        ascii = uchar(line[i]) < 0x80;
    const QString text = ascii ? QString::fromLatin1(line, qMin(head, linetime::searchedCharacters))
                               : QString::fromUtf8(line, head);
    const qint64 time = linetime::lineTime(text);
    if (time != linetime::none)
        lastTime = time;
}

void TelegramRowReader::noteRawData(Held &entry, const QString &text)
{
    QString data;
    if (!entry.row.received || !receivedRawData(text, &data)) {
        closeRun();
        return;
    }
    if (!openRun)
        openRun = std::make_shared<DataRun>();
    openRun->data += data;
    ++openRun->count;
    entry.run = openRun;
}

void TelegramRowReader::closeRun()
{
    if (!openRun)
        return;
    openRun->closed = true;
    openRun.reset();
}

void TelegramRowReader::release(bool all)
{
    // A held fragment may still be absorbed, which rewrites it and the lines after it.
    if (!all && decoder.holdsFragments())
        return;
    while (!held.empty()) {
        Held &entry = held.front();
        TelegramRow &row = entry.row;
        if (row.record.type == NoTelegram) {
            fragmentBytes += row.bytes;
            held.pop_front();
            continue;
        }
        const bool withContext = options.dataContext && row.record.type == Data && row.received;
        if (withContext && entry.run && !entry.run->closed)
            return; // the run goes on below: its joined data is not complete yet
        row.details = recordDetails(row.record, true);
        if (withContext && entry.run && entry.run->count != 1)
            row.details = withDataContext(row.details, entry.run->data);
        if (!fragmentBytes.isEmpty()) {
            row.bytes.prepend(fragmentBytes);
            fragmentBytes.clear();
        }
        sink(row);
        held.pop_front();
    }
}
