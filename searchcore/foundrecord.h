#pragma once

#include <QMetaType>
#include <QString>
#include <QVector>

#include <functional>

// One match of a find-all as a value: what a results row keeps of it.
struct FoundRecord {
    int lineNumber = 0; // 1-based
    int column = 0;     // 0-based, within the line
    int length = 0;     // of the converted search text
    int position = 0;   // document position just after the match
    unsigned fieldId = 0;
};
Q_DECLARE_TYPEINFO(FoundRecord, Q_PRIMITIVE_TYPE);

// The text of a line by its 1-based number, read when a row is shown; empty once the log it
// reads has changed or gone. Called on the GUI thread only.
using LineTextSource = std::function<QString(int lineNumber)>;

// Matches found together, in document order, with the way to read their lines.
struct FoundBatch {
    QVector<FoundRecord> records;
    int longestLine = 0; // characters in the longest line that holds one of the records
    LineTextSource lineText;
};

Q_DECLARE_METATYPE(FoundRecord)
Q_DECLARE_METATYPE(QVector<FoundRecord>)
Q_DECLARE_METATYPE(FoundBatch)
