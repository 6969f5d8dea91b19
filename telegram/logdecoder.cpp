#include "telegram/logdecoder.h"

#include "telegram/faultlinesummary.h"
#include "telegram/linedetails.h"
#include "telegram/recordtext.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace
{
constexpr char marker[] = "[Comm]";
constexpr qint64 markerLength = 6;
constexpr size_t flushSize = 1 << 20;
constexpr size_t readSize = 256 << 10;

// Offset of the marker in the line, -1 if absent; most lines hold it at their first '['.
qint64 findMarker(const char *line, qint64 length)
{
    const char *end = line + length;
    const char *p = line;
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

void appendUtf8(std::string &out, const QString &text)
{
    const ushort *chars = text.utf16();
    const int size = text.size();
    char buffer[512];
    if (size <= int(sizeof buffer)) {
        ushort bits = 0;
        for (int i = 0; i < size; ++i) {
            bits |= chars[i];
            buffer[i] = char(chars[i]);
        }
        if (bits < 0x80) {
            out.append(buffer, size_t(size));
            return;
        }
    }
    const QByteArray utf8 = text.toUtf8();
    out.append(utf8.constData(), size_t(utf8.size()));
}
} // namespace

void LogDecoder::feed(const char *data, qint64 size)
{
    if (std::memchr(data, '\r', size_t(size))) {
        withoutCarriageReturns.clear();
        withoutCarriageReturns.reserve(size_t(size));
        for (qint64 i = 0; i < size; ++i) {
            if (data[i] != '\r')
                withoutCarriageReturns += data[i];
        }
        feedLines(withoutCarriageReturns.data(), qint64(withoutCarriageReturns.size()));
        return;
    }
    feedLines(data, size);
}

void LogDecoder::feedLines(const char *data, qint64 size)
{
    const char *end = data + size;
    const char *p = data;
    if (!partialLine.empty()) {
        const char *lineEnd = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        if (!lineEnd) {
            partialLine.append(p, size_t(end - p));
            return;
        }
        partialLine.append(p, size_t(lineEnd - p));
        processLine(partialLine.data(), qint64(partialLine.size()));
        partialLine.clear();
        p = lineEnd + 1;
    }
    while (p < end) {
        const char *lineEnd = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        if (!lineEnd) {
            partialLine.assign(p, size_t(end - p));
            return;
        }
        processLine(p, lineEnd - p);
        p = lineEnd + 1;
    }
}

void LogDecoder::finish()
{
    if (!partialLine.empty()) {
        processLine(partialLine.data(), qint64(partialLine.size()));
        partialLine.clear();
    }
    releaseRecords();
}

void LogDecoder::processLine(const char *line, qint64 length)
{
    ++lineNumber;
    if (mode == LogDecodeMode::SafetyFaults) {
        decodeFaultLine(line, length);
        return;
    }
    // A line without the marker is NoTelegram and leaves the shared state alone.
    const qint64 markerOffset = findMarker(line, length);
    if (markerOffset >= 0)
        decodeTelegramLine(line, length, markerOffset);
}

void LogDecoder::decodeTelegramLine(const char *line, qint64 length, qint64 markerOffset)
{
    heldRecords.emplace_back(lineNumber, TelegramRecord());
    lineDecoder.decodeUtf8(line, int(length), int(markerOffset), heldRecords.back().second);
    if (!lineDecoder.holdsFragments())
        releaseRecords();
}

void LogDecoder::releaseRecords()
{
    for (const auto &held : heldRecords) {
        if (held.second.type == NoTelegram)
            continue;
        appendUtf8(out, telegramDetailsLine(held.first, recordDetails(held.second, true)));
        out += '\n';
    }
    heldRecords.clear();
}

void LogDecoder::decodeFaultLine(const char *line, qint64 length)
{
    // Both fault words are eight characters followed by the first comma.
    if (length < 9 || line[8] != ',' ||
        (std::memcmp(line, "INT FAIL", 8) != 0 && std::memcmp(line, "EXT FAIL", 8) != 0))
        return;
    const QString summary = faultLineSummary(parseFaultLine(QString::fromUtf8(line, int(length))));
    if (summary.isEmpty())
        return;
    appendUtf8(out, plainDetailsLine(lineNumber, summary));
    out += '\n';
}

LogFileResult decodeLogFile(int fd, LogDecodeMode mode, std::FILE *out)
{
    LogDecoder decoder(mode);
    std::string buffer(readSize, '\0');
    // False with errno set when `out` takes less than all of it.
    const auto writeOut = [&](bool always) {
        std::string &text = decoder.output();
        if (text.empty() || (!always && text.size() < flushSize))
            return true;
        const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
        text.clear();
        return written;
    };
    LogFileResult result = LogFileResult::Decoded;
    int readError = 0;
    for (;;) {
        const ssize_t count = read(fd, &buffer[0], buffer.size());
        // LCOV_EXCL_START: no test can time a signal to interrupt the read
        if (count < 0 && errno == EINTR)
            continue;
        // LCOV_EXCL_STOP
        if (count < 0) {
            readError = errno;
            result = LogFileResult::ReadFailed;
        }
        if (count <= 0)
            break;
        decoder.feed(buffer.data(), count);
        if (!writeOut(false))
            return LogFileResult::WriteFailed;
    }
    // What was read before a read error is still decoded and written.
    decoder.finish();
    if (!writeOut(true))
        return LogFileResult::WriteFailed;
    errno = readError;
    return result;
}

QByteArray decodeLogText(const QByteArray &text, LogDecodeMode mode)
{
    LogDecoder decoder(mode);
    decoder.feed(text.constData(), text.size());
    decoder.finish();
    return QByteArray::fromStdString(decoder.output());
}
