// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "telegram/telegramrecord.h"

#include <QByteArray>
#include <QStringList>
#include <QVector>

// The bytes of the first bracketed hex list at or after `start`; empty when any digit is bad.
QByteArray parseHexBytes(const QString &line, int start);

// Appends one character per byte: printable ASCII as is, CR/LF kept when asked, else '.'.
void appendPrintable(bool keepLineBreaks, const QByteArray &bytes, QString &text);

// Decodes one line on its own: no fragment joining, no request pairing, CR/LF kept in data.
TelegramRecord parseTelegramLine(const QString &line);

// Decodes consecutive lines with one shared state: joins received fragments, hides write echoes.
QVector<TelegramRecord> parseTelegramLines(const QStringList &lines);

// The per-line step with the state that travels along consecutive lines: the last request and
// the received fragments waiting to be joined. parseTelegramLine and parseTelegramLines are built
// on it, so a caller that streams lines through it gets exactly their results.
//
// A record handed to decode() may be rewritten later (a fragment absorbed into the telegram it
// completes becomes NoTelegram with empty data): keep every record at its address, and treat it
// as final only once holdsFragments() is false.
class TelegramLineDecoder
{
public:
    explicit TelegramLineDecoder(bool keepLineBreaks) : keepLineBreaks(keepLineBreaks) {}

    // Fills the fresh `record` for `line`.
    void decode(const QString &line, TelegramRecord &record);

    // The same step for a line given as UTF-8 bytes that holds the marker at byte offset
    // `markerOffset`; an all-ASCII line is decoded without being converted to text.
    void decodeUtf8(const char *line, int length, int markerOffset, TelegramRecord &record);

    bool holdsFragments() const { return firstFragment != nullptr; }

private:
    void decodeBytes(QByteArray &bytes, TelegramRecord &record);
    void resetAssembler();
    bool offerFragment(TelegramRecord &record, QByteArray &bytes);
    void applyWriteEcho(TelegramRecord &record) const;
    void rememberRequest(const TelegramRecord &record);

    bool keepLineBreaks;
    // A copy of what the pairing rule reads from the last request: requests are never rewritten.
    bool hasLastRequest = false;
    qint32 lastRequestType = NoTelegram;
    QString lastRequestParameter;
    QString lastRequestProtocol;
    TelegramRecord *firstFragment = nullptr;
    TelegramRecord *secondFragment = nullptr;
    QByteArray savedBytes;
};
