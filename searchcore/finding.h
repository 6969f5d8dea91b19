// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaType>
#include <QString>
#include <QVector>

#include <functional>

// One match of a find-all, from the log that holds it to the results row and back to the log
// on a double-click. Positions are 64-bit: logs reach far past 2 GiB.
struct Finding {
    qint64 lineNumber = 0; // 1-based
    qint64 position = 0;   // document position just after the match
    int column = 0;        // 0-based, within the line
    int length = 0;        // of the converted search text
    unsigned fieldId = 0;
};
Q_DECLARE_TYPEINFO(Finding, Q_PRIMITIVE_TYPE);

// The text of a line by its 1-based number, read when a row is shown; empty once the log it
// reads has changed or gone. Called on the GUI thread only.
using LineTextSource = std::function<QString(qint64 lineNumber)>;

// Matches found together, in document order, with the way to read their lines.
struct FoundBatch {
    QVector<Finding> findings;
    int longestLine = 0; // characters in the longest line that holds one of the findings
    LineTextSource lineText;
};

Q_DECLARE_METATYPE(Finding)
Q_DECLARE_METATYPE(FoundBatch)
