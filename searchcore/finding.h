#pragma once

#include <QObject>
#include <QString>

// One match of a find-all, built on the stack by its emitter and passed by reference.
class Finding : public QObject
{
    Q_OBJECT

public:
    Finding(QObject *parent, int lineNumber, const QString &lineText, int column, int length,
            unsigned fieldId, int position);

    const int lineNumber; // 1-based
    const QString lineText;
    const int length;   // of the converted search text
    const int column;   // 0-based, within the line
    const int position; // document position just after the match
    const unsigned fieldId;

private:
    Q_DISABLE_COPY(Finding)
};
