#include "searchcore/findallscan.h"

#include <QElapsedTimer>

namespace
{
// Registered at start-up so that batches can also cross queued connections.
const int batchMetaTypeId = qRegisterMetaType<FoundBatch>("FoundBatch");
const int recordsMetaTypeId = qRegisterMetaType<QVector<FoundRecord>>("QVector<FoundRecord>");

// Steps of the scan between two looks at the clock.
const int stepsPerClockCheck = 64;
} // namespace

FindAllScan::FindAllScan(QObject *parent) : QObject(parent)
{
    Q_UNUSED(batchMetaTypeId)
    Q_UNUSED(recordsMetaTypeId)
    nextSlice.setSingleShot(true);
    nextSlice.setInterval(0);
    connect(&nextSlice, &QTimer::timeout, this, &FindAllScan::scanSlice);
}

// The owner is going: nobody is told about a scan that stops here.
FindAllScan::~FindAllScan() = default;

FindAllScan *FindAllScan::of(QObject *owner)
{
    auto *scan = owner->findChild<FindAllScan *>(QString(), Qt::FindDirectChildrenOnly);
    return scan ? scan : new FindAllScan(owner);
}

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
        finish();
        return;
    }
    scanSlice();
}

LineTextSource FindAllScan::guardedSource(LineTextSource source) const
{
    return [generation = std::weak_ptr<const int>(contentGeneration), atStart = *contentGeneration,
            source = std::move(source)](int lineNumber) {
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
        finish();
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
    // A copy, which a receiver that ends the run cannot destroy while it is being called.
    const auto eachMatch = job.eachMatch;
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
        const FoundRecord record{linesRead, column, length, linePosition + column + length,
                                 job.fieldId};
        pending.records.append(record);
        pending.longestLine = qMax(pending.longestLine, line.length());
        ++count;
        if (eachMatch) {
            eachMatch(record, line);
            if (runNumber != run || !running)
                return; // a receiver cancelled or started another scan
        }
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
        finish();
    else
        nextSlice.start();
}

bool FindAllScan::flush(quint64 run)
{
    if (pending.records.isEmpty())
        return true;
    FoundBatch batch = std::move(pending);
    pending = FoundBatch();
    pending.lineText = batch.lineText;
    emit foundBatch(batch);
    return runNumber == run && running;
}

void FindAllScan::finish()
{
    running = false;
    nextSlice.stop();
    const int total = count;
    const std::function<void(int)> ended = std::move(job.ended);
    job = Job(); // lets go of the log
    pending = FoundBatch();
    line.clear();
    if (ended)
        ended(total);
}
