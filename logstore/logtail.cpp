// SPDX-License-Identifier: GPL-3.0-or-later
#include "logstore/logtail.h"

#include "logstore/logfile.h"

#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>
#include <algorithm>
#include <sys/stat.h>

namespace
{
// Read at most this much per look, so that a burst of writing never holds up the window.
constexpr qint64 readPerCheck = qint64(4) << 20;
// The last bytes read, compared again before reading on: a file removed and written anew can
// get the old one's inode at once, and then only its content tells it apart.
constexpr int fingerprintSize = 64;

QByteArray bytesBefore(QFile &file, qint64 end)
{
    const qint64 from = std::max<qint64>(0, end - fingerprintSize);
    return file.seek(from) ? file.read(end - from) : QByteArray();
}
} // namespace

LogTail::LogTail(QObject *parent)
    : QObject(parent), watcher(new QFileSystemWatcher(this)), poll(new QTimer(this))
{
    connect(watcher, &QFileSystemWatcher::fileChanged, this, &LogTail::check);
    connect(watcher, &QFileSystemWatcher::directoryChanged, this, &LogTail::check);
    connect(poll, &QTimer::timeout, this, &LogTail::check);
    poll->setInterval(1000);
}

LogTail::~LogTail() = default;

void LogTail::start(const QString &fileName, qint64 offset, bool readText)
{
    stop();
    name = fileName;
    readUpTo = offset;
    readsText = readText;
    following = true;
    gone = false;
    codec = LogFile::streamDefaultCodec();
    state = std::make_unique<QTextCodec::ConverterState>();
    struct stat status;
    if (::stat(QFile::encodeName(name).constData(), &status) == 0) {
        device = status.st_dev;
        inode = status.st_ino;
    } else {
        gone = true;
    }
    QFile file(name);
    seen = file.open(QIODevice::ReadOnly) ? bytesBefore(file, readUpTo) : QByteArray();
    watch();
    poll->start();
}

void LogTail::stop()
{
    following = false;
    poll->stop();
    if (!watcher->files().isEmpty())
        watcher->removePaths(watcher->files());
    if (!watcher->directories().isEmpty())
        watcher->removePaths(watcher->directories());
}

void LogTail::watch()
{
    if (QFileInfo::exists(name) && !watcher->files().contains(name))
        watcher->addPath(name);
    const QString folder = QFileInfo(name).absolutePath();
    if (!watcher->directories().contains(folder))
        watcher->addPath(folder);
}

void LogTail::check()
{
    if (!following)
        return;
    struct stat status;
    if (::stat(QFile::encodeName(name).constData(), &status) != 0 || !S_ISREG(status.st_mode)) {
        if (!gone) {
            gone = true;
            emit vanished();
        }
        return;
    }
    watch();
    if (!gone && status.st_size == readUpTo)
        return; // the usual look at a quiet file costs no read
    QFile file(name);
    const bool replaced = status.st_dev != device || status.st_ino != inode ||
                          !file.open(QIODevice::ReadOnly) || bytesBefore(file, readUpTo) != seen;
    if (replaced || status.st_size < readUpTo) {
        // Whoever follows reads the file anew and starts again from its new end.
        gone = false;
        device = status.st_dev;
        inode = status.st_ino;
        emit reset();
        return;
    }
    if (gone) {
        // Renamed away and back: the same file, still holding what was read; carry on.
        gone = false;
        emit returned();
    }
    if (status.st_size == readUpTo)
        return;
    if (!readsText) {
        readUpTo = status.st_size;
        seen = bytesBefore(file, readUpTo);
        emit grown();
        return;
    }
    if (!file.seek(readUpTo))
        return;
    const QByteArray bytes = file.read(qMin<qint64>(status.st_size - readUpTo, readPerCheck));
    if (bytes.isEmpty())
        return;
    readUpTo += bytes.size();
    seen = (seen + bytes.right(fingerprintSize)).right(fingerprintSize);
    QString text = codec->toUnicode(bytes.constData(), bytes.size(), state.get());
    text.remove(QLatin1Char('\r'));
    if (readUpTo < status.st_size)
        QTimer::singleShot(0, this, &LogTail::check); // the rest after the window had its turn
    if (!text.isEmpty())
        emit appended(text);
}
