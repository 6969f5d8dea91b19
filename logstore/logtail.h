// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QTextCodec>
#include <memory>
#include <sys/types.h>

class QFileSystemWatcher;
class QTimer;

// Follows a log file while it is written: reports the text appended since the last look, read as
// the ordinary view reads a file (carriage returns dropped, the stream's codec with its state
// carried across appends), and says when the file shrank, was replaced or vanished. It watches
// the file and its folder, and polls once a second besides, since watching misses some writers
// (network folders, a file replaced by a rename).
class LogTail : public QObject
{
    Q_OBJECT

public:
    explicit LogTail(QObject *parent = nullptr);
    ~LogTail() override;

    // Starts following `fileName` from byte `offset` (what is already shown). Without
    // `readText` only grown() tells of appended bytes (a store indexes them itself).
    void start(const QString &fileName, qint64 offset, bool readText = true);
    void stop();
    bool isFollowing() const { return following; }
    qint64 offset() const { return readUpTo; }

public slots:
    // Looks at the file now; called by the watcher and the poll.
    void check();

signals:
    void appended(const QString &text);
    void grown();
    // The file is shorter than what was read, or another file took its name: read it anew.
    void reset();
    // The file is gone; following goes on. When a file of that name is back, it reports
    // returned() if it is the same file, else reset().
    void vanished();
    void returned();

private:
    void watch();

    QFileSystemWatcher *watcher;
    QTimer *poll;
    QString name;
    qint64 readUpTo = 0;
    QByteArray seen; // the last bytes before readUpTo
    dev_t device = 0;
    ino_t inode = 0;
    bool following = false;
    bool gone = false;
    bool readsText = true;
    QTextCodec *codec = nullptr;
    std::unique_ptr<QTextCodec::ConverterState> state;
};
