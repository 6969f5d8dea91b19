#include "logstore/logfindall.h"

#include "logstore/logfile.h"
#include "logstore/logsearcher.h"
#include "logstore/logstore.h"

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
    if (stop)
        stop->store(true);
    stop.reset();
}

void LogFindAll::start(const LogStore &store, const QString &keyword,
                       Qt::CaseSensitivity sensitivity)
{
    cancel();
    stop = std::make_shared<std::atomic<bool>>(false);
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
    worker.start([this, file, snapshot, keyword, sensitivity, post, halt = stop] {
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
                post([this, findings, longestLine] { emit found(findings, longestLine); });
            };
            const auto onDone = [&](qint64 done, qint64 total) {
                const int now = total > 0 ? int(done * 100 / total) : 100;
                if (now != percent) {
                    percent = now;
                    post([this, now] { emit progress(now); });
                }
            };
            if (!searcher.findAll(onFound, onDone, *halt))
                return;
        }
        post([this, count] {
            running = false;
            emit finished(count);
        });
    });
}
