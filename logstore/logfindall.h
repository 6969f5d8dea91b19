#pragma once

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QVector>
#include <atomic>
#include <memory>

class LogStore;

// One match of a find-all, as the ordinary view's Finding carries it.
struct LogFinding {
    qint64 lineNumber = 0; // 1-based
    int column = 0;
    int length = 0;
    QString lineText;
    qint64 position = 0; // document position just after the match
};
Q_DECLARE_METATYPE(LogFinding)

// The ordinary view's find-all (indexOf line by line, no overlaps) over a store's lines, run
// by a worker thread and reported in batches to the thread the object lives in.
class LogFindAll : public QObject
{
    Q_OBJECT

public:
    explicit LogFindAll(QObject *parent = nullptr);
    ~LogFindAll() override;

    // Cancels a running search, then searches the lines `store` has now.
    void start(const LogStore &store, const QString &keyword, Qt::CaseSensitivity sensitivity);
    // Stops the search; no signal of it comes after this returns.
    void cancel();
    bool isRunning() const { return running; }

signals:
    void found(const QVector<LogFinding> &findings); // in document order
    void progress(int percent);
    void finished(qint64 count);

private:
    // Searches run in turn on one thread; a cancelled one is told to stop, not waited for.
    QThreadPool worker;
    std::shared_ptr<std::atomic<bool>> stop;
    quint64 generation = 0;
    bool running = false;
};
