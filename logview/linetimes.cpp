// SPDX-License-Identifier: GPL-3.0-or-later
#include "logview/linetimes.h"

#include "searchcore/linesource.h"

#include <QStringList>

namespace
{
// What is read of a line: its time stamp starts within the first 40 characters, and its
// fraction counts to the millisecond.
constexpr qint64 headLength = linetime::searchedCharacters + 24;
} // namespace

void LineTimes::setSource(const LineSource *source)
{
    lines = source;
    forget();
}

void LineTimes::forget()
{
    firstTimed = -1;
    firstTime = linetime::none;
    lookedThrough = 0;
}

qint64 LineTimes::firstTimedLine()
{
    if (firstTimed >= 0 || !lines)
        return firstTimed;
    const qint64 count = lines->lineCount();
    const qint64 end = qMin(count, lookedThrough + firstTimeBudget);
    constexpr qint64 batch = 1024;
    for (qint64 first = lookedThrough; first < end; first += batch) {
        const QStringList texts = lines->lineHeads(first, qMin(batch, end - first), headLength);
        for (int i = 0; i < texts.size(); ++i) {
            const qint64 time = linetime::lineTime(texts.at(i));
            if (time != linetime::none) {
                firstTimed = first + i;
                firstTime = time;
                return firstTimed;
            }
        }
    }
    lookedThrough = end;
    return -1;
}

bool LineTimes::noTimes()
{
    return firstTimedLine() < 0 && lines && lookedThrough >= lines->lineCount();
}

qint64 LineTimes::timedLineAtOrAbove(qint64 line, qint64 floor, qint64 *time) const
{
    // Mostly the line itself carries a time; longer stretches without one are read in growing
    // batches.
    qint64 batch = 4;
    for (qint64 last = line; last > floor; batch = qMin<qint64>(batch * 8, 4096)) {
        const qint64 first = qMax(floor + 1, last - batch + 1);
        const QStringList texts = lines->lineHeads(first, last - first + 1, headLength);
        for (int i = texts.size() - 1; i >= 0; --i) {
            const qint64 found = linetime::lineTime(texts.at(i));
            if (found != linetime::none) {
                *time = found;
                return first + i;
            }
        }
        last = first - 1;
    }
    return -1;
}

qint64 LineTimes::timeOf(qint64 line)
{
    const qint64 first = firstTimedLine();
    if (first < 0 || line < first)
        return linetime::none;
    if (line == first)
        return firstTime;
    qint64 time = firstTime;
    timedLineAtOrAbove(qMin(line, lines->lineCount() - 1), first, &time);
    return time;
}

TimePlace LineTimes::place(qint64 time)
{
    const qint64 first = firstTimedLine();
    if (first < 0)
        return {0, TimePlace::NoTimes};
    if (time < firstTime)
        return {0, TimePlace::BeforeStart};
    const qint64 count = lines->lineCount();
    qint64 lastTime = firstTime;
    qint64 high = timedLineAtOrAbove(count - 1, first, &lastTime);
    if (high < 0)
        high = first;
    if (time >= lastTime)
        return {count - 1, time > lastTime ? TimePlace::AfterEnd : TimePlace::Within};
    // The low line's time is at or before `time`, the high line's after it.
    qint64 low = first;
    while (high - low > 1) {
        const qint64 middle = low + (high - low) / 2;
        qint64 probed = 0;
        const qint64 timed = timedLineAtOrAbove(middle, low, &probed);
        if (timed < 0 || probed <= time)
            low = middle; // without a timed line since `low`, the middle line takes its time
        else
            high = timed;
    }
    return {low, TimePlace::Within};
}
