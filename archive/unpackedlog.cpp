// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/unpackedlog.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
std::atomic<qint64> limitOverride{-1};
std::atomic_uint fileCounter{0};

// Growth is reported at most this often: each report makes the view index what came.
constexpr qint64 reportMs = 100;
// Unpacking stops before the temporary folder's disk has less than this left, whatever the
// byte limit, and looks at the free space after every so many bytes.
constexpr qint64 diskReserve = qint64(128) << 20;
constexpr qint64 diskCheckBytes = qint64(16) << 20;
// Of a log known to be too large for memory, only this much is unpacked before the worker
// takes over: enough for a first screen.
constexpr qint64 firstScreenBytes = qint64(1) << 20;

// A gzip file ends with its unpacked size modulo 2^32, so that a log whose last member says it is
// larger than some limit is at least that large; -1 when the end holds no plausible size.
qint64 gzipSizeHint(const QString &path, qint64 packedSize)
{
    QFile file(path);
    if (packedSize < 18 || !file.open(QIODevice::ReadOnly) || !file.seek(packedSize - 4))
        return -1;
    const QByteArray tail = file.read(4);
    if (tail.size() != 4)
        return -1;
    const qint64 size = qFromLittleEndian<quint32>(tail.constData());
    // Deflate unpacks to at most about 1032 times what it takes; a cut-off file ends elsewhere.
    return size <= packedSize * 1032 ? size : -1;
}

bool writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

bool diskNearlyFull(QStorageInfo &disk, qint64 more)
{
    disk.refresh();
    const qint64 available = disk.bytesAvailable();
    return disk.isValid() && available >= 0 && available - more < diskReserve;
}

QString diskFullError()
{
    return QStringLiteral("The disk of the temporary folder is nearly full (less than %1 MB "
                          "left); unpacking stopped there")
        .arg(diskReserve >> 20);
}

// A name for the file that says whose it is and which log it holds: "PID-N-NAME".
QString fileNameFor(const QString &archive, const QString &entryName, unsigned number)
{
    QString name = QFileInfo(entryName).fileName();
    if (name.isEmpty()) {
        name = QFileInfo(archive).fileName();
        for (const char *suffix : {".gz", ".bz2", ".xz", ".zst", ".zip"}) {
            if (name.endsWith(QLatin1String(suffix), Qt::CaseInsensitive) &&
                name.size() > int(std::strlen(suffix))) {
                name.chop(int(std::strlen(suffix)));
                break;
            }
        }
    }
    return QStringLiteral("%1-%2-%3")
        .arg(QCoreApplication::applicationPid())
        .arg(number)
        .arg(name.isEmpty() ? QStringLiteral("log") : name);
}
} // namespace

UnpackedLog::UnpackedLog(QObject *parent) : QObject(parent) {}

UnpackedLog::~UnpackedLog()
{
    stopping = true;
    if (worker.joinable())
        worker.join();
    if (fd >= 0)
        ::close(fd);
    if (!path.isEmpty())
        QFile::remove(path);
}

UnpackedLog::Stamp UnpackedLog::stampOf(const QString &file)
{
    Stamp stamp;
    struct stat status;
    if (::stat(QFile::encodeName(file).constData(), &status) == 0) {
        stamp.size = status.st_size;
        stamp.modified = qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
        stamp.inode = status.st_ino;
    }
    return stamp;
}

bool UnpackedLog::archiveChanged() const
{
    return !(stampOf(archivePath) == stamp);
}

void UnpackedLog::fail(UnpackResult::Outcome outcome, const QString &error)
{
    ending.outcome = outcome;
    ending.error = error;
}

bool UnpackedLog::start(const QString &archive, int index, qint64 memoryLimit)
{
    archivePath = archive;
    stamp = stampOf(archive);
    limit = byteLimit();
    reader = std::make_unique<ArchiveReader>();
    if (!reader->open(archive)) {
        fail(UnpackResult::Unreadable, reader->errorString());
        return false;
    }
    for (int i = 0; i <= qMax(index, 0); ++i) {
        if (!reader->nextEntry(&entry)) {
            fail(UnpackResult::Unreadable,
                 reader->errorString().isEmpty()
                     ? QStringLiteral("The archive holds no file %1").arg(index + 1)
                     : reader->errorString());
            return false;
        }
    }
    // A log the archive says is too large goes to the file after its first screen.
    const qint64 size = entry.size >= 0 || reader->format() != ArchiveFormat::Gzip
                            ? entry.size
                            : gzipSizeHint(archive, stamp.size);
    qint64 keep = memoryLimit;
    if (size > memoryLimit && memoryLimit >= 0)
        keep = qMin(memoryLimit, firstScreenBytes);
    std::atomic_bool full{false};
    UnpackOptions options;
    options.stop = &full;
    options.byteLimit = limit;
    options.progress = [this](qint64 bytesIn, qint64 bytesOut) {
        unpacked = bytesOut;
        updatePercent(bytesIn, bytesOut);
    };
    const UnpackResult result = reader->unpack(
        [this, keep, &full](const char *data, qint64 size) {
            memory.append(data, int(size));
            // Stopped before the next chunk, so that the worker goes on from there.
            if (memory.size() > keep)
                full = true;
            return true;
        },
        options);
    whole = result.outcome != UnpackResult::Stopped;
    if (whole) {
        ending = result;
        reader.reset();
        if (result.outcome == UnpackResult::Complete)
            progress = 100;
    }
    return true;
}

void UnpackedLog::updatePercent(qint64 bytesIn, qint64 bytesOut)
{
    qint64 percent = 0;
    if (entry.size > 0)
        percent = bytesOut * 100 / entry.size;
    else if (stamp.size > 0)
        percent = bytesIn * 100 / stamp.size;
    progress = int(qBound(qint64(0), percent, qint64(100)));
}

bool UnpackedLog::continueToFile()
{
    const QString dir = folder();
    QDir().mkpath(dir);
    QStorageInfo disk(dir);
    if (diskNearlyFull(disk, memory.size())) {
        fail(UnpackResult::WriteFailed, diskFullError());
        return false;
    }
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        path = dir + fileNameFor(archivePath, entry.name, ++fileCounter);
        fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                    0600);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0 || !writeAll(fd, memory.constData(), memory.size())) {
        fail(UnpackResult::WriteFailed,
             QStringLiteral("The unpacked log could not be written to %1: %2")
                 .arg(dir, QString::fromLocal8Bit(std::strerror(errno))));
        if (fd < 0)
            path.clear();
        return false;
    }
    memory = QByteArray();
    if (!whole) {
        progress = qMin(progress.load(), 99);
        worker = std::thread([this] { run(); });
    }
    return true;
}

void UnpackedLog::run()
{
    const qint64 headBytes = unpacked;
    QStorageInfo disk(folder());
    qint64 sinceDiskCheck = 0;
    bool diskFull = false;
    QElapsedTimer sinceReport;
    sinceReport.start();
    UnpackOptions options;
    options.stop = &stopping;
    options.byteLimit = limit < 0 ? -1 : qMax<qint64>(0, limit - headBytes);
    options.progress = [&](qint64 bytesIn, qint64 bytesOut) {
        unpacked = headBytes + bytesOut;
        updatePercent(bytesIn, headBytes + bytesOut);
        if (sinceReport.elapsed() >= reportMs) {
            sinceReport.restart();
            QMetaObject::invokeMethod(
                this, [this] { emit grown(percent()); }, Qt::QueuedConnection);
        }
    };
    UnpackResult result = reader->unpack(
        [&](const char *data, qint64 size) {
            sinceDiskCheck += size;
            if (sinceDiskCheck >= diskCheckBytes) {
                sinceDiskCheck = 0;
                diskFull = diskNearlyFull(disk, size);
                if (diskFull)
                    return false;
            }
            return writeAll(fd, data, size);
        },
        options);
    result.bytesOut += headBytes;
    if (diskFull)
        result.error = diskFullError();
    else if (result.outcome == UnpackResult::LimitReached)
        result.error =
            QStringLiteral("The archive unpacks to more than %1 bytes; unpacking stopped there")
                .arg(limit);
    QMetaObject::invokeMethod(
        this,
        [this, result] {
            worker.join();
            ::close(fd);
            fd = -1;
            reader.reset();
            ending = result;
            if (result.outcome == UnpackResult::Complete)
                progress = 100;
            emit finished();
        },
        Qt::QueuedConnection);
}

void UnpackedLog::setByteLimit(qint64 bytes)
{
    limitOverride = bytes;
}

qint64 UnpackedLog::byteLimit()
{
    if (limitOverride >= 0)
        return limitOverride;
    const qint64 available = QStorageInfo(QDir::tempPath()).bytesAvailable();
    return available >= 0 ? 20 * available : -1;
}

QString UnpackedLog::folder()
{
    return QDir::tempPath() + QStringLiteral("/Velmora Drives/Unpacked/");
}

int UnpackedLog::removeStale()
{
    int removed = 0;
    const QFileInfoList files =
        QDir(folder()).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &file : files) {
        bool numbered = false;
        const qint64 pid = file.fileName().section(QLatin1Char('-'), 0, 0).toLongLong(&numbered);
        if (!numbered || pid <= 0 || pid == QCoreApplication::applicationPid())
            continue;
        // EPERM: the process lives, as another user's.
        if (::kill(pid_t(pid), 0) == 0 || errno != ESRCH)
            continue;
        if (QFile::remove(file.absoluteFilePath()))
            ++removed;
    }
    return removed;
}
