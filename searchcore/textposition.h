// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// A place in a log: a 0-based line and a column in UTF-16 units within it.
struct TextPosition {
    qint64 line = 0;
    int column = 0;

    bool operator==(const TextPosition &other) const
    {
        return line == other.line && column == other.column;
    }
    bool operator!=(const TextPosition &other) const { return !(*this == other); }
    bool operator<(const TextPosition &other) const
    {
        return line < other.line || (line == other.line && column < other.column);
    }
};

// A match of a step: where it starts and how long it is.
struct LineMatch {
    TextPosition start{-1, -1};
    int length = 0;
    bool isValid() const { return start.line >= 0; }
};
