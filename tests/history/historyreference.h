// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "historycore/historyrow.h"
#include "historycore/parameterhistory.h"
#include "telegram/linetime.h"
#include "telegram/logparser.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>

// The rows of a parameter read off one parseTelegramLines call over the whole log, the plain
// way: every record in order, a stack of unanswered requests per protocol and address.
inline HistoryRows referenceRows(const QStringList &lines, quint32 parameter)
{
    const QVector<TelegramRecord> records = parseTelegramLines(lines);
    static const QRegularExpression pair(QStringLiteral("(\\d+)\\.(\\d+)"));
    struct Request {
        bool names;
        QString index;
    };
    QHash<QString, QVector<Request>> unanswered;
    HistoryRows rows;
    qint64 time = linetime::none;
    for (int i = 0; i < records.size(); ++i) {
        const qint64 lineTime = linetime::lineTime(lines.at(i));
        if (lineTime != linetime::none)
            time = lineTime;
        const TelegramRecord &record = records.at(i);
        if (record.type == NoTelegram || record.type == Data)
            continue;
        QStringList indices;
        auto match = pair.globalMatch(record.parameter);
        while (match.hasNext()) {
            const auto found = match.next();
            if (found.captured(1).toULongLong() == parameter)
                indices << found.captured(2);
        }
        bool names = !indices.isEmpty();
        QString index = indices.join(QStringLiteral(", "));
        const QString link = record.protocol + QLatin1Char('/') + record.address;
        const int type = record.type;
        if (type == Read || type == ReadDescription || type == Write || type == WriteVolatile) {
            unanswered[link].append({names, index});
        } else if ((type == ResponseOK || type == ResponseError) && record.parameter.isEmpty() &&
                   !unanswered[link].isEmpty()) {
            const Request request = unanswered[link].takeLast();
            names = request.names;
            index = request.index;
        }
        if (!names)
            continue;
        HistoryRow row;
        row.line = i;
        row.time = time;
        row.type = record.type;
        row.protocol = record.protocol;
        row.address = record.address;
        row.index = index;
        row.value = record.value;
        row.error = record.error;
        rows.append(row);
    }
    return rows;
}

// The parameter number that most lines name.
inline quint32 mostFrequentParameter(const QStringList &lines)
{
    QHash<quint32, int> counts;
    for (const TelegramRecord &record : parseTelegramLines(lines)) {
        for (quint32 number : parameterNumbers(record))
            ++counts[number];
    }
    quint32 best = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > counts.value(best))
            best = it.key();
    }
    return best;
}

// A row as the table shows it, cells joined by " | ".
inline QString rowText(const HistoryRow &row)
{
    QStringList cells;
    for (int column = 0; column < historytext::ColumnCount; ++column)
        cells << historytext::cell(row, column);
    return cells.join(QStringLiteral(" | "));
}
