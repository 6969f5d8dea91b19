#pragma once

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVector>
#include <atomic>
#include <memory>

class LogStore;
class QThread;

// One match of a find-all, as the ordinary view's Finding carries it.
struct LogFinding {
    qint64 lineNumber = 0; // 1-based
    int column = 0;
    int length = 0;
    QString lineText;
    qint64 position = 0; // document position just after the match
};
Q_DECLARE_METATYPE(LogFinding)

// Finds every match of a keyword in the lines a store holds, in a worker thread, as the ordinary
// view's find-all does (QString::indexOf line by line, no overlaps, no whole-word rule), and
// reports them in batches. It lives and signals in the thread that made it.
class LogFindAll : public QObject
{
    Q_OBJECT

public:
    explicit LogFindAll(QObject *parent = nullptr);
    ~LogFindAll() override;

    // Searches the lines `store` has now, after cancelling a search that still runs; an empty
    // keyword finds nothing.
    void start(const LogStore &store, const QString &keyword, Qt::CaseSensitivity sensitivity);
    // Stops the search; no signal of it comes after this returns.
    void cancel();
    bool isRunning() const { return running; }

signals:
    void found(const QVector<LogFinding> &findings); // in document order
    void progress(int percent);
    void finished(qint64 count);

private:
    std::unique_ptr<QThread> worker;
    std::atomic<bool> stop{false};
    quint64 generation = 0;
    bool running = false;
};
