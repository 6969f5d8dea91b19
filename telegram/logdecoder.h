// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "telegram/linesplitter.h"
#include "telegram/telegramrows.h"

#include <QByteArray>
#include <QtGlobal>
#include <cstdio>
#include <string>

// What the command-line decoder prints for a log: decoded telegram lines, or the summaries of
// safety-option fault lines.
enum class LogDecodeMode { Telegrams, SafetyFaults };

// Turns a log, fed as raw bytes in chunks of any size, into the decoder's output lines:
//  Telegrams:    "Line N data: DETAILS" for every line whose record is not NoTelegram,
//                DETAILS = recordDetails(record, true), decoded as parseTelegramLines would
//                decode all lines of the log in one call;
//  SafetyFaults: "Line N: SUMMARY" for every line with a non-empty fault summary.
// The bytes are read as the viewer reads a log: CR bytes are dropped, lines end at LF, text is
// UTF-8. Only lines holding the marker are converted to text and decoded.
class LogDecoder
{
public:
    explicit LogDecoder(LogDecodeMode mode);

    void feed(const char *data, qint64 size);
    // Decodes a last line without a line end and releases every held record.
    void finish();

    // UTF-8 output produced so far; the caller may write it out and clear it at any time.
    std::string &output() { return out; }

private:
    void processLine(const char *line, qint64 length);
    void decodeFaultLine(const char *line, qint64 length);

    LogDecodeMode mode;
    LineSplitter splitter;
    TelegramRowReader rows;
    qint64 lineNumber = 0;
    std::string out;
};

// Appends the UTF-8 of `text`; a short ASCII text goes without a conversion.
void appendUtf8(std::string &out, const QString &text);

enum class LogFileResult { Decoded, ReadFailed, WriteFailed };

// Decodes everything readable from `fd` and writes the output to `out` in large blocks.
// On ReadFailed (a directory, an I/O error) the output of what was read is written; on
// WriteFailed (a full disk, a closed pipe) decoding stops at once. errno tells why.
LogFileResult decodeLogFile(int fd, LogDecodeMode mode, std::FILE *out);

// The output for a whole log held in memory.
QByteArray decodeLogText(const QByteArray &text, LogDecodeMode mode);
