// SPDX-License-Identifier: GPL-3.0-or-later
#include "telegram/linedetails.h"

#include "telegram/logparser.h"
#include "telegram/recordtext.h"
#include "telegram/safetyfaults.h"

#include <QStringList>
#include <QVector>

namespace
{
const QString dataContextSeparator = QStringLiteral(
    "\n------------------------------ Data context ------------------------------\n");

// The data of the unbroken run of received raw-data lines around `selected`; empty when the
// line stands alone.
QString dataContext(const LineReader &read, int lineCount, int selected)
{
    QString context;
    QString data;
    int count = 0;
    for (int line = selected; line >= 0 && receivedRawData(read(line), &data); --line) {
        context.prepend(data);
        ++count;
    }
    for (int line = selected + 1; line < lineCount && receivedRawData(read(line), &data); ++line) {
        context.append(data);
        ++count;
    }
    return count != 1 ? context : QString();
}
} // namespace

QString telegramDetailsLine(qint64 lineNumber, const QString &details)
{
    return QStringLiteral("Line %1 data: %2").arg(QString::number(lineNumber), details);
}

QString plainDetailsLine(qint64 lineNumber, const QString &text)
{
    return QStringLiteral("Line %1: %2").arg(QString::number(lineNumber), text);
}

QString withDataContext(const QString &details, const QString &context)
{
    return context.isEmpty() ? details : details + dataContextSeparator + context;
}

bool isReceivedLine(const QString &line)
{
    return line.contains(QLatin1String("eceived")) || line.contains(QLatin1String("ecieved"));
}

bool receivedRawData(const QString &line, QString *data)
{
    if (!isReceivedLine(line))
        return false;
    const TelegramRecord record = parseTelegramLine(line);
    if (record.type != Data)
        return false;
    *data = record.data;
    return true;
}

QString selectedLineDetails(const LineReader &read, int lineCount, int selected, int firstShown,
                            int lastShown, const DecodeMode &mode)
{
    if (selected < 0 || selected >= lineCount)
        return mode.safetyFaults ? QStringLiteral("Line %1:").arg(qint64(selected) + 1) : QString();
    // A selected line off the screen is decoded with a screen's worth of lines on its side, not
    // with every line between it and the screen.
    const int reach = qMax(1, lastShown - firstShown + 1);
    const int first = qBound(qMax(0, selected - reach), qMin(firstShown, selected), selected);
    const int last = qBound(selected, qMax(lastShown, selected),
                            selected + qMin(reach, lineCount - 1 - selected));
    QStringList lines;
    lines.reserve(last - first + 1);
    for (int line = first; line <= last; ++line)
        lines << read(line);
    const int index = selected - first;
    const qint64 lineNumber = qint64(selected) + 1;

    if (mode.safetyFaults) {
        const QString details = decodeSafetyFaults(lines, index, mode.language).details;
        return details.isEmpty() ? QStringLiteral("Line %1:").arg(lineNumber)
                                 : plainDetailsLine(lineNumber, details);
    }

    const TelegramRecord record = parseTelegramLines(lines).at(index);
    const QString details = recordDetails(record, true);
    if (details.isEmpty())
        return plainDetailsLine(lineNumber, lines.at(index));
    if (record.type == Data && isReceivedLine(lines.at(index)))
        return telegramDetailsLine(
            lineNumber, withDataContext(details, dataContext(read, lineCount, selected)));
    return telegramDetailsLine(lineNumber, details);
}
