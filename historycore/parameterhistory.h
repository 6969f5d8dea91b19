// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "historycore/historyrow.h"
#include "telegram/logparser.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <deque>
#include <vector>

// The parameter numbers a decoded line names ("1000.0", or each of a DP-V1 list), in order and
// without repeats; empty for lines that are not telegrams or name none.
QVector<quint32> parameterNumbers(const TelegramRecord &record);

// The parameter numbers of line `index` of consecutive `lines` decoded together, as the strip
// decodes the lines it shows (a received telegram is joined from its fragments above it).
QVector<quint32> parameterNumbersAt(const QStringList &lines, int index);

// Finds the telegram lines of a log that concern one parameter number, fed the log's lines in
// consecutive batches. Every row reads as the strip shows its line when the whole log is decoded
// in one go: fragments joined and write echoes hidden as the line parser does. A response
// without a parameter of its own (a DP-V1 read or write response) answers the nearest
// unanswered request of its protocol and address, and is a row when that request names the
// parameter.
//
// Most lines are only looked at, not decoded: the .cpp says why that gives the same rows.
class ParameterHistory
{
public:
    explicit ParameterHistory(quint32 parameter);

    quint32 parameter() const { return number; }
    // The 0-based number of the line the next batch starts with.
    qint64 nextLine() const { return next; }

    // Takes the lines from nextLine() on and appends the rows among them to `rows`.
    void feed(const QStringList &lines, HistoryRows &rows);

private:
    struct Request {
        bool namesParameter = false;
        QString index;
    };
    // The unanswered DP-V1 requests of one address, kept while one of them names the parameter.
    struct Link {
        QString address;
        int named = 0;
        std::vector<Request> unanswered;
    };
    // A marker line the line parser has not been handed yet.
    struct Held {
        enum Kind : qint8 { Unknown, NoBytes, Data, Telegram, ParserRequest };
        QString line;
        int markerPosition = 0;
        Kind kind = Unknown;
    };

    bool mayNameParameter(const QChar *bytesText, int length) const;
    bool bytesNameParameter(const QByteArray &bytes) const;
    bool namesParameter(const QString &parameterText, QString *index) const;
    void decodeLine(const QString &line, int position, qint64 lineNumber, const QStringList &lines,
                    int at, HistoryRows &rows);
    void takeTelegram(const TelegramRecord &record, qint64 lineNumber, const QStringList &lines,
                      int at, HistoryRows &rows);
    void pair(const TelegramRecord &record, bool *concerns, QString *index);
    void hold(const QString &line, int position, Held::Kind kind, bool mayJoinPpo3);
    void classify(Held &held) const;
    void catchUp();
    TelegramRecord decodeInOrder(const QString &line);
    qint64 timeAbove(const QStringList &lines, int at) const;

    quint32 number;
    quint8 numberHigh;
    quint8 numberLow;
    QChar lowDigits[2];
    QChar highNibbleDigit;
    qint64 next = 0;
    // The time of the last line before this batch that has one.
    qint64 carriedTime = linetime::none;
    std::vector<Link> links;
    int unansweredNamed = 0;

    // The line parser, and the marker lines since the last one it was handed.
    TelegramLineDecoder decoder{false};
    std::deque<TelegramRecord> heldRecords; // fragments the parser may still rewrite
    std::vector<Held> held;
    bool heldMayJoinPpo3 = false;
};
