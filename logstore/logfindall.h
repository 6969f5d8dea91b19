// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logstore/logsearcher.h"

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QVector>
#include <atomic>
#include <memory>

class LogStore;

Q_DECLARE_METATYPE(LogFinding)

// The ordinary view's find-all (indexOf line by line, no overlaps) over a store's lines, run
// by a worker thread (with a helper on long logs) and reported in batches to the thread the
// object lives in.
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
    // In document order; `longestLine`: the length of the longest line the batch names, in
    // UTF-16 units.
    void found(const QVector<LogFinding> &findings, int longestLine);
    void progress(int percent);
    void finished(qint64 count);

private:
    struct Flow;
    // Searches run in turn on one thread; a cancelled one is told to stop, not waited for.
    QThreadPool worker;
    std::shared_ptr<Flow> flow;
    quint64 generation = 0;
    bool running = false;
};
