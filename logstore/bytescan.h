// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QtGlobal>

// Byte-level scans over raw log text, SSE2 where the machine has it. "Special" bytes are those
// that make a line's text differ from its bytes read as Latin-1: carriage returns (dropped) and
// bytes of 0x80 and above (UTF-8 sequences).
namespace bytescan
{
// The first line feed or byte >= 0x80 in [from, end), or end; adds the carriage returns
// passed on the way to `carriageReturns`.
const char *findLineEndOrHigh(const char *from, const char *end, qint64 *carriageReturns);
// The first byte >= 0x80 in [from, end), or end; adds the carriage returns passed on the way to
// `carriageReturns`.
const char *findHigh(const char *from, const char *end, qint64 *carriageReturns);
// The first byte in [from, end) that is `first` or `second`, or end.
const char *findEither(const char *from, const char *end, char first, char second);
// Whether [from, end) holds only bytes below 0x80.
bool isAscii(const char *from, const char *end);
// The first carriage return, or also byte >= 0x80 when `high` is set, in [from, end); or end.
const char *findSpecial(const char *from, const char *end, bool high);
// The first byte that makes a line's text differ from its bytes other than by dropping the
// carriage returns that end it: a byte >= 0x80 (when `high`), or a carriage return followed,
// after more of them, by anything but a line feed. Carriage returns running into `end` count
// when `openEnd` (the line goes on past it). Returns end when there is none.
const char *findTextChange(const char *from, const char *end, bool high, bool openEnd);
// The length of the text of a line that findTextChange() passes: without its line feed
// (when it has one) and the carriage returns before it.
qint64 plainTextLength(const char *from, const char *end);
// The first line feed in [from, end), or end.
const char *findLineFeed(const char *from, const char *end);

// A fixed byte string found case-sensitively, or ignoring ASCII case (then `needle` is lower
// case).
class Needle
{
public:
    Needle() = default;
    Needle(const QByteArray &needle, bool ignoreCase);
    bool isEmpty() const { return bytes.isEmpty(); }
    int size() const { return bytes.size(); }
    // The first occurrence starting in [from, end - size()], or nullptr.
    const char *findIn(const char *from, const char *end) const;
    // The last occurrence starting at or before `last` (and at or after `from`), or nullptr.
    const char *findLastIn(const char *from, const char *end, const char *last) const;
    bool matchesAt(const char *at) const;

private:
    // matchesAt() where `end` may leave room to compare eight bytes at once.
    bool matchesBefore(const char *at, const char *end) const;

    QByteArray bytes;
    bool ignoreCase = false;
    quint64 headValue = 0;
    quint64 headMask = 0;
    quint64 headFold = 0;
};
} // namespace bytescan
