// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "telegram/linetime.h"
#include "telegram/logparser.h"

#include <QByteArray>
#include <QString>
#include <deque>
#include <functional>
#include <memory>

// What a TelegramRowReader works out for each row beyond its record and details; each costs time.
struct TelegramRowOptions {
    // A received raw-data line's details also carry the data joined from its raw-data
    // neighbours, as the details pane shows them.
    bool dataContext = false;
    // The time, direction and bytes of each row.
    bool tableFields = false;
};

// One line of a log that carries a telegram or raw data.
struct TelegramRow {
    qint64 lineNumber = 0; // 1-based
    // The line's own time, else that of the nearest line above with one; `linetime::none`
    // without one. Time, direction and bytes are set only when tableFields asks for them.
    qint64 time = linetime::none;
    bool received = false;
    TelegramRecord record;
    // The line's bytes; a telegram joined from fragments also holds the fragments' bytes first.
    QByteArray bytes;
    QString details; // recordDetails(record, true), with the data context when asked for
};

// Turns the lines of a log, fed one by one as UTF-8, into rows: every line whose record is not
// NoTelegram, decoded as parseTelegramLines decodes all lines of the log in one call. A row goes
// to the sink, in line order, once nothing later can change it. Only lines holding the marker are
// decoded, and an all-ASCII line is decoded without being converted to text.
class TelegramRowReader
{
public:
    using Sink = std::function<void(const TelegramRow &row)>;

    TelegramRowReader(TelegramRowOptions options, Sink sink);

    // The next line, without its line end.
    void addLine(const char *line, qint64 length);
    // No line follows: every row still held goes out.
    void finish();

private:
    struct DataRun;
    struct Held {
        TelegramRow row;
        std::shared_ptr<DataRun> run; // the raw-data run the line belongs to, if any
    };

    void noteTime(const char *line, qint64 length);
    void noteRawData(Held &entry, const QString &text);
    void closeRun();
    void release(bool all);

    TelegramRowOptions options;
    TelegramLineDecoder decoder;
    qint64 lineNumber = 0;
    qint64 lastTime = linetime::none;
    std::shared_ptr<DataRun> openRun;
    Sink sink;
    QByteArray fragmentBytes; // of fragments absorbed into a telegram not yet released
    // Lines whose records may still change; a deque keeps their addresses.
    std::deque<Held> held;
};
