// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "telegram/linetime.h"
#include "telegram/telegramrecord.h"

#include <QMetaType>
#include <QString>
#include <QVector>
#include <QtGlobal>

// One telegram line that concerns the parameter of a history: a request that names it, a
// response that names it, or a response without a parameter of its own that answers a request
// naming it. The texts are those of the line's strip.
struct HistoryRow {
    qint64 line = 0;              // 0-based
    qint64 time = linetime::none; // the line's time, or that of the nearest line above with one
    qint32 type = NoTelegram;     // the telegram kind
    QString protocol;
    QString address;
    QString index; // the parameter's indices on the line (or on the request)
    QString value;
    QString error;

    bool isResponse() const;
    bool operator==(const HistoryRow &other) const;
    bool operator!=(const HistoryRow &other) const { return !(*this == other); }
};

Q_DECLARE_METATYPE(HistoryRow)

using HistoryRows = QVector<HistoryRow>;

namespace historytext
{
enum Column { Line, Time, Kind, Direction, Protocol, Address, Index, Value, Error, ColumnCount };

QString columnTitle(int column);
// The texts the table shows: line numbers 1-based, times as "yyyy-MM-dd HH:mm:ss.zzz".
QString cell(const HistoryRow &row, int column);
// The telegram type name without its enclosing double quotes.
QString kindName(qint32 type);

// A value shown as a plain decimal number (the decoders write every number so); false for
// texts, byte arrays, lists and empty values.
bool numericValue(const QString &value, double *number = nullptr);

// The rows as CSV with the columns and quoting of telvane-decode's CSV (those of its columns a
// history has: line, time, protocol, address, kind, direction, parameter, index, value, error),
// a header first and one record per row, in the given order.
QString csvTable(quint32 parameter, const HistoryRows &rows);
} // namespace historytext
