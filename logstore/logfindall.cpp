// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/logfindall.h"

#include "logstore/logfile.h"
#include "logstore/logsearcher.h"
#include "logstore/logstore.h"

#include <condition_variable>
#include <mutex>

namespace
{
// Batches posted and not yet taken by the receiving thread, at most: its event loop handles
// what is queued in one go, so a long queue of batches would hold it up.
constexpr int maxQueued = 16;
} // namespace

// What a search shares with the object: whether to stop, and how many of its batches wait in
// the receiving thread's queue.
struct LogFindAll::Flow {
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable taken;
    int queued = 0;

    // Waits for room in the queue and takes it; false when told to stop meanwhile.
    bool enqueue()
    {
        std::unique_lock<std::mutex> locker(mutex);
        taken.wait(locker, [this] { return queued < maxQueued || stop.load(); });
        if (stop.load())
            return false;
        ++queued;
        return true;
    }
    void dequeue()
    {
        {
            const std::lock_guard<std::mutex> locker(mutex);
            --queued;
        }
        taken.notify_one();
    }
    void halt()
    {
        {
            const std::lock_guard<std::mutex> locker(mutex);
            stop.store(true);
        }
        taken.notify_all();
    }
};

LogFindAll::LogFindAll(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<LogFinding>();
    qRegisterMetaType<QVector<LogFinding>>();
    worker.setMaxThreadCount(1);
    worker.setExpiryTimeout(-1);
}

LogFindAll::~LogFindAll()
{
    cancel();
    worker.waitForDone(); // the search posts to this object
}

void LogFindAll::cancel()
{
    ++generation; // whatever the worker posted is dropped on arrival
    running = false;
    if (flow)
        flow->halt();
    flow.reset();
}

void LogFindAll::start(const LogStore &store, const QString &keyword,
                       Qt::CaseSensitivity sensitivity)
{
    cancel();
    flow = std::make_shared<Flow>();
    running = true;
    const quint64 current = generation;
    LogSnapshot snapshot;
    const std::shared_ptr<LogFile> file = store.currentFile(&snapshot);

    // Runs in the worker: hands a result to this object's thread, unless cancelled by then.
    const auto post = [this, current](auto deliver) {
        QMetaObject::invokeMethod(
            this,
            [this, current, deliver] {
                if (current == generation)
                    deliver();
            },
            Qt::QueuedConnection);
    };
    worker.start([this, file, snapshot, keyword, sensitivity, post, current, flow = flow] {
        qint64 count = 0;
        if (file && !keyword.isEmpty()) {
            const LogSearcher searcher(file, snapshot, keyword, sensitivity, false,
                                       LogSearcher::Mode::FindAll);
            int percent = -1;
            const auto onFound = [&](QVector<LogFinding> &batch, int longestLine) {
                count += batch.size();
                // Handed over whole: clearing a copy still shared would copy it first.
                QVector<LogFinding> findings;
                findings.swap(batch);
                if (!flow->enqueue())
                    return;
                QMetaObject::invokeMethod(
                    this,
                    [this, current, flow, findings, longestLine] {
                        flow->dequeue();
                        if (current == generation)
                            emit found(findings, longestLine);
                    },
                    Qt::QueuedConnection);
            };
            const auto onDone = [&](qint64 done, qint64 total) {
                const int now = total > 0 ? int(done * 100 / total) : 100;
                if (now != percent) {
                    percent = now;
                    post([this, now] { emit progress(now); });
                }
            };
            if (!searcher.findAll(onFound, onDone, flow->stop))
                return;
        }
        post([this, count] {
            running = false;
            emit finished(count);
        });
    });
}
