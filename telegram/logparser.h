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
