// SPDX-License-Identifier: GPL-3.0-or-later
#include "historycore/historyscan.h"

#include <QElapsedTimer>

namespace
{
// A batch should take about a millisecond or two, so a slice ends close to its time.
constexpr qint64 fastBatchNs = 1000000;
constexpr qint64 slowBatchNs = 4000000;
constexpr int minBatchLines = 16;
constexpr int maxBatchLines = 65536;
} // namespace

ParameterHistoryScan::ParameterHistoryScan(quint32 parameter, QObject *parent)
    : QObject(parent), history(parameter)
{
    qRegisterMetaType<HistoryRows>();
    timer.setSingleShot(true);
    timer.setInterval(0);
    connect(&timer, &QTimer::timeout, this, &ParameterHistoryScan::runSlice);
}

void ParameterHistoryScan::start(const LineBatchReader &lineReader, qint64 lineCount)
{
    history = ParameterHistory(history.parameter());
    reader = lineReader;
    total = qMax<qint64>(lineCount, 0);
    found.clear();
    emit restarted();
    timer.start();
}

void ParameterHistoryScan::setLineCount(qint64 lineCount)
{
    if (lineCount <= total)
        return;
    total = lineCount;
    if (reader && !timer.isActive())
        timer.start();
}

void ParameterHistoryScan::stop()
{
    timer.stop();
}

void ParameterHistoryScan::runSlice()
{
    if (!reader)
        return;
    QElapsedTimer clock;
    clock.start();
    HistoryRows rows;
    qint64 lastBatchNs = 0;
    while (history.nextLine() < total &&
           clock.nsecsElapsed() + lastBatchNs < sliceMilliseconds * 1000000ll) {
        const qint64 batchStart = clock.nsecsElapsed();
        const QStringList lines =
            reader(history.nextLine(), qMin<qint64>(batchLines, total - history.nextLine()));
        if (lines.isEmpty()) {
            // The log holds fewer lines than it said: wait for more.
            total = history.nextLine();
            break;
        }
        history.feed(lines, rows);
        lastBatchNs = clock.nsecsElapsed() - batchStart;
        if (lastBatchNs < fastBatchNs)
            batchLines = qMin(batchLines * 2, maxBatchLines);
        else if (lastBatchNs > slowBatchNs)
            batchLines = qMax(batchLines / 2, minBatchLines);
    }
    const bool done = history.nextLine() >= total;
    if (!done)
        timer.start();
    if (!rows.isEmpty()) {
        found += rows;
        emit rowsFound(rows);
    }
    emit progress(history.nextLine(), total);
    if (done)
        emit finished();
}
