// SPDX-License-Identifier: GPL-3.0-or-later
#include "telegram/linetime.h"

#include <QDateTime>

namespace linetime
{
namespace
{
// "yyyy-MM-dd HH:mm:ss" is 19 characters.
constexpr int stampLength = 19;

int digitsAt(QStringView text, int at, int count)
{
    int value = 0;
    for (int i = at; i < at + count; ++i) {
        const ushort c = text.at(i).unicode();
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

qint64 timeAt(QStringView text, int at)
{
    const QChar separator = text.at(at + 10);
    if (text.at(at + 4) != QLatin1Char('-') || text.at(at + 7) != QLatin1Char('-') ||
        (separator != QLatin1Char(' ') && separator != QLatin1Char('T')) ||
        text.at(at + 13) != QLatin1Char(':') || text.at(at + 16) != QLatin1Char(':'))
        return none;
    const QDate date(digitsAt(text, at, 4), digitsAt(text, at + 5, 2), digitsAt(text, at + 8, 2));
    const QTime time(digitsAt(text, at + 11, 2), digitsAt(text, at + 14, 2),
                     digitsAt(text, at + 17, 2));
    if (!date.isValid() || !time.isValid())
        return none;
    int milliseconds = 0;
    int end = at + stampLength;
    if (end + 1 < text.size() && (text.at(end) == QLatin1Char('.') || text.at(end) == QLatin1Char(','))) {
        // Digits past the third only refine below a millisecond.
        int scale = 100;
        for (++end; end < text.size() && text.at(end).isDigit(); ++end) {
            milliseconds += (text.at(end).unicode() - '0') * scale;
            scale /= 10;
        }
    }
    return QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch() + milliseconds;
}
} // namespace

qint64 lineTime(QStringView line)
{
    const int limit = qMin<int>(line.size(), searchedCharacters);
    for (int at = 0; at + stampLength <= limit; ++at) {
        // A stamp starts with a digit that is not part of a longer number.
        if (!line.at(at).isDigit() || (at > 0 && line.at(at - 1).isDigit()))
            continue;
        const qint64 time = timeAt(line, at);
        if (time != none)
            return time;
    }
    return none;
}

QString format(qint64 time)
{
    return QDateTime::fromMSecsSinceEpoch(time, Qt::UTC).toString(
        QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}
} // namespace linetime
