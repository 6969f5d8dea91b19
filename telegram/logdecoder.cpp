// SPDX-License-Identifier: GPL-3.0-or-later
#include "telegram/logdecoder.h"

#include "telegram/faultlinesummary.h"
#include "telegram/linedetails.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace
{
constexpr size_t flushSize = 1 << 20;
constexpr size_t readSize = 256 << 10;
} // namespace

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

LogDecoder::LogDecoder(LogDecodeMode mode)
    : mode(mode), rows(TelegramRowOptions(), [this](const TelegramRow &row) {
          appendUtf8(out, telegramDetailsLine(row.lineNumber, row.details));
          out += '\n';
      })
{
}

void LogDecoder::feed(const char *data, qint64 size)
{
    splitter.feed(data, size,
                  [this](const char *line, qint64 length) { processLine(line, length); });
}

void LogDecoder::finish()
{
    splitter.finish([this](const char *line, qint64 length) { processLine(line, length); });
    rows.finish();
}

void LogDecoder::processLine(const char *line, qint64 length)
{
    if (mode == LogDecodeMode::SafetyFaults) {
        ++lineNumber;
        decodeFaultLine(line, length);
    } else {
        rows.addLine(line, length);
    }
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
