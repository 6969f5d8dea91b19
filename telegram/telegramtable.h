// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "telegram/telegramrows.h"

#include <QString>
#include <QStringList>

// The table of telegram rows that telvane-decode writes as JSON Lines or CSV; a window that
// exports its rows writes the same columns with the same quoting.
namespace telegramtable
{
enum Column {
    File,
    Line,
    Time,
    Protocol,
    Address,
    Kind,
    Direction,
    Parameter,
    Index,
    Value,
    Error,
    Details,
    Bytes,
    ColumnCount
};

// The columns' names: the CSV header and the JSON keys.
const QStringList &columnNames();

// A row's fields as texts in column order; an empty text is a field without a value.
//  - Time: "yyyy-MM-dd HH:mm:ss.zzz" (the nearest time above when the line has none);
//  - Kind: the telegram type's name without its quotes, empty for raw data;
//  - Direction: "sent" or "received";
//  - Parameter and Index: the one parameter the telegram addresses, empty for none or several
//    (the details name them all);
//  - Bytes: upper-case hex pairs separated by blanks.
QStringList rowFields(const QString &file, const TelegramRow &row);

// A CSV field as RFC 4180 quotes it: in double quotes with each quote doubled when it holds a
// comma, a quote, CR or LF; as it is otherwise.
QString csvField(const QString &text);

// Fields joined by commas and ended by CRLF.
QString csvRecord(const QStringList &fields);

// The fields of rowFields as one JSON object on one line, without a line end: Line, Address,
// Parameter and Index as numbers, the others as strings, an empty field as null.
QString jsonObject(const QStringList &fields);
} // namespace telegramtable
