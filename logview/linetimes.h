// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "telegram/linetime.h"

#include <QtGlobal>

class LineSource;

// Where a time falls in a log: the last line whose time is at or before it, and whether the time
// lies within the log's times, before its first or after its last, or the log holds none.
struct TimePlace {
    enum Where { Within, BeforeStart, AfterEnd, NoTimes };
    qint64 line = 0;
    Where where = NoTimes;
};

// The times of a log's lines, read from its source on demand (linetime::lineTime). A line without
// a time takes that of the nearest line above with one. Lookups read a few lines each, so they
// cost the same on a log of ten million lines as on a short one; forget() when the text changes.
class LineTimes
{
public:
    explicit LineTimes(const LineSource *source = nullptr) : lines(source) {}

    void setSource(const LineSource *source);
    void forget();

    // The line's time, or linetime::none when neither it nor any line above carries one.
    qint64 timeOf(qint64 line);
    // The first line that carries a time; -1 when none does (as far as looked: see noTimes()).
    qint64 firstTimedLine();
    // Whether the whole log was looked through without finding a time, and how many of its
    // lines were.
    bool noTimes();
    qint64 linesLookedThrough() const { return lookedThrough; }
    // The last line whose time is at or before `time`. A binary search whose probes take the
    // time of the nearest timed line at or above them, so a stretch out of order only moves the
    // answer to a line at or before `time` whose next line is after it.
    TimePlace place(qint64 time);

    // Lines looked at per call in search of the first time; a log of more lines without one is
    // looked through further on the next calls.
    static constexpr qint64 firstTimeBudget = 100000;

private:
    // The nearest line at or above `line` and above `floor` that carries a time, or -1; its time
    // in `time`.
    qint64 timedLineAtOrAbove(qint64 line, qint64 floor, qint64 *time) const;

    const LineSource *lines;
    qint64 firstTimed = -1;
    qint64 firstTime = linetime::none;
    qint64 lookedThrough = 0; // lines searched for the first time so far
};
