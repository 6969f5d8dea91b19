// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

// The time a log line carries: the first date and time within its first 40 characters, as
// "yyyy-MM-dd HH:mm:ss" (or with a 'T' between date and time), optionally followed by a fraction
// of a second. The tool's logs start with it; the safety-fault CSV rows hold it in their third
// column.
namespace linetime
{
// How far into a line the time may start.
constexpr int searchedCharacters = 40;
// No time in a line.
constexpr qint64 none = -1;

// Milliseconds since 1970-01-01 00:00 of the time written in the line, read as UTC so that no
// time zone or daylight saving shifts it; `none` when the line holds no valid date and time.
qint64 lineTime(QStringView line);

// "yyyy-MM-dd HH:mm:ss.zzz" of a value of lineTime.
QString format(qint64 time);
} // namespace linetime
