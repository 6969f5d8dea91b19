// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/archivereader.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <thread>

// One log of a compressed file or a zip, unpacked for a viewer panel. What fits in memory stays
// there; a larger log goes on into a temporary file of its own, which a worker thread fills while
// a view already reads it. The file goes with this object; the files of a process that ended
// without removing its own go at the next start (removeStale()).
class UnpackedLog : public QObject
{
    Q_OBJECT

public:
    explicit UnpackedLog(QObject *parent = nullptr);
    // Stops the worker and removes the file.
    ~UnpackedLog() override;

    // Opens entry `index` of `archive` and unpacks it here as long as it fits in `memoryLimit`
    // bytes (-1: keeps only the first chunk). False when nothing could be unpacked; result()
    // says why.
    bool start(const QString &archive, int index, qint64 memoryLimit);
    // All of the log, or all that could be read, is in head().
    bool isWhole() const { return whole; }
    const QByteArray &head() const { return memory; }
    void releaseHead() { memory = QByteArray(); }
    // Writes head() to a new file in folder() and unpacks the rest into it in a worker; false
    // when the file cannot be written (result() says why).
    bool continueToFile();
    QString filePath() const { return path; }

    bool isRunning() const { return worker.joinable(); }
    // Of the log unpacked so far.
    int percent() const { return progress.load(); }
    qint64 bytesOut() const { return unpacked.load(); }
    // How unpacking ended, once it is not running; outcome Complete while it runs.
    const UnpackResult &result() const { return ending; }

    QString archive() const { return archivePath; }
    // The log's name in a zip; empty for a compressed stream.
    QString entryName() const { return entry.name; }
    // Whether the archive is no longer the file it was when unpacking started.
    bool archiveChanged() const;

    // Unpacking stops once a log reaches this many bytes; -1, the default: 20 times the free
    // space of the temporary folder.
    static void setByteLimit(qint64 bytes);
    static qint64 byteLimit();
    // Where the files go: "Velmora Drives/Unpacked/" in the temporary folder.
    static QString folder();
    // Removes the files there whose process has ended; returns how many.
    static int removeStale();

signals:
    // More of the log is in the file.
    void grown(int percent);
    void finished();

private:
    struct Stamp {
        qint64 size = -1;
        qint64 modified = 0; // ns
        quint64 inode = 0;
        bool operator==(const Stamp &other) const
        {
            return size == other.size && modified == other.modified && inode == other.inode;
        }
    };
    static Stamp stampOf(const QString &file);
    void run();
    void updatePercent(qint64 bytesIn, qint64 bytesOut);
    void fail(UnpackResult::Outcome outcome, const QString &error);

    std::unique_ptr<ArchiveReader> reader;
    QString archivePath;
    Stamp stamp;
    ArchiveEntry entry;
    qint64 limit = -1;
    QByteArray memory;
    bool whole = false;
    QString path;
    int fd = -1;
    std::thread worker;
    std::atomic_bool stopping{false};
    std::atomic<qint64> unpacked{0};
    std::atomic_int progress{0};
    UnpackResult ending;
};
