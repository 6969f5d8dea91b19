// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "historycore/parameterhistory.h"

#include <QObject>
#include <QTimer>
#include <functional>

// Reads up to `count` lines of a log from line `first` (0-based); fewer at its end.
using LineBatchReader = std::function<QStringList(qint64 first, qint64 count)>;

Q_DECLARE_METATYPE(HistoryRows)

// Runs a parameter history over a log on the thread it lives in, in slices of about
// sliceMilliseconds between which the event loop runs, and reports rows as it finds them.
class ParameterHistoryScan : public QObject
{
    Q_OBJECT

public:
    static constexpr int sliceMilliseconds = 20;

    explicit ParameterHistoryScan(quint32 parameter, QObject *parent = nullptr);

    quint32 parameter() const { return history.parameter(); }
    // Starts over on a log of `lineCount` lines; the slices begin once the event loop runs.
    void start(const LineBatchReader &reader, qint64 lineCount);
    // The log has grown (follow): the rows of the new lines follow those found so far. A log that
    // shrank or was replaced needs start() again.
    void setLineCount(qint64 lineCount);
    void stop();

    bool isRunning() const { return timer.isActive(); }
    qint64 lineCount() const { return total; }
    qint64 scannedLines() const { return history.nextLine(); }
    const HistoryRows &rows() const { return found; }

    // One slice; the timer calls it, a caller without an event loop may too.
    void runSlice();

signals:
    void restarted();
    // Rows of one slice, in line order; they follow all rows reported before.
    void rowsFound(const HistoryRows &rows);
    void progress(qint64 scannedLines, qint64 lineCount);
    void finished();

private:
    ParameterHistory history;
    LineBatchReader reader;
    qint64 total = 0;
    int batchLines = 1024;
    HistoryRows found;
    QTimer timer;
};
