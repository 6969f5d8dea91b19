// SPDX-License-Identifier: GPL-3.0-or-later
#include "searchcore/findallscan.h"

#include <QElapsedTimer>

namespace
{
// Registered at start-up so that batches can also cross queued connections.
const int batchMetaTypeId = qRegisterMetaType<FoundBatch>("FoundBatch");


// Steps of the scan between two looks at the clock.
const int stepsPerClockCheck = 64;
} // namespace

FindAllScan::FindAllScan(QObject *parent) : QObject(parent)
{
    Q_UNUSED(batchMetaTypeId)
    nextSlice.setSingleShot(true);
    nextSlice.setInterval(0);
    connect(&nextSlice, &QTimer::timeout, this, &FindAllScan::scanSlice);
}

// The owner is going: nobody is told about a scan that stops here.
FindAllScan::~FindAllScan() = default;

void FindAllScan::run(Job newJob)
{
    cancel();
    job = std::move(newJob);
    pending = FoundBatch();
    pending.lineText = job.lineText;
    running = true;
    ++runNumber;
    count = 0;
    linesRead = 0;
    reportedPercent = -1;
    line.clear();
    from = -1;
    if (job.keyword.isEmpty() || !job.nextLine) { // an empty text would match everywhere
        finish(false);
        return;
    }
    scanSlice();
}

LineTextSource FindAllScan::guardedSource(LineTextSource source) const
{
    return [generation = std::weak_ptr<const int>(contentGeneration), atStart = *contentGeneration,
            source = std::move(source)](qint64 lineNumber) {
        const std::shared_ptr<const int> now = generation.lock();
        return now && *now == atStart && source ? source(lineNumber) : QString();
    };
}

void FindAllScan::cancel()
{
    if (!running)
        return;
    nextSlice.stop();
    if (flush(runNumber))
        finish(true);
}

void FindAllScan::contentChanged()
{
    ++*contentGeneration;
    cancel();
}

void FindAllScan::scanSlice()
{
    if (!running)
        return;
    const quint64 run = runNumber;
    QElapsedTimer clock;
    clock.start();
    const QString &keyword = job.keyword;
    const int length = keyword.length();
    bool done = false;
    // A step reads a line or finds the next match in it, so that a line full of matches is
    // left half-way when the slice's time is up.
    for (int steps = 1;; ++steps) {
        if (steps % stepsPerClockCheck == 0 && clock.elapsed() >= sliceMilliseconds)
            break;
        if (from < 0) {
            if (!job.nextLine(&line, &linePosition)) {
                done = true;
                break;
            }
            ++linesRead;
            from = 0;
        }
        const int column =
            from < line.length() ? line.indexOf(keyword, from, job.caseSensitivity) : -1;
        if (column < 0) {
            from = -1;
            continue;
        }
        from = column + length;
        Finding finding;
        finding.lineNumber = linesRead;
        finding.position = linePosition + column + length;
        finding.column = column;
        finding.length = length;
        pending.findings.append(finding);
        pending.longestLine = qMax(pending.longestLine, line.length());
        ++count;
    }
    if (!flush(run))
        return;
    const int percent = done ? 100
                        : job.lineCount > 0
                            ? int(qMin<qint64>(99, linesRead * 100LL / job.lineCount))
                            : reportedPercent;
    if (percent > reportedPercent) {
        reportedPercent = percent;
        emit progress(percent);
        if (runNumber != run || !running)
            return;
    }
    if (done)
        finish(false);
    else
        nextSlice.start();
}

bool FindAllScan::flush(quint64 run)
{
    if (pending.findings.isEmpty())
        return true;
    FoundBatch batch = std::move(pending);
    pending = FoundBatch();
    pending.lineText = batch.lineText;
    emit foundBatch(batch);
    return runNumber == run && running;
}

void FindAllScan::finish(bool cancelled)
{
    running = false;
    nextSlice.stop();
    const qint64 total = count;
    const std::function<void(qint64, bool)> ended = std::move(job.ended);
    job = Job(); // lets go of the log
    pending = FoundBatch();
    line.clear();
    if (ended)
        ended(total, cancelled);
}
