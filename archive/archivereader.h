// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVector>
#include <QtGlobal>

#include <atomic>
#include <functional>

class QIODevice;
struct archive;

// What a file holds, told by its first bytes and never by its name.
enum class ArchiveFormat { Plain, Gzip, Bzip2, Xz, Zstd, Zip };

// "plain", "gzip", "bzip2", "xz", "zstd" or "zip".
QString archiveFormatName(ArchiveFormat format);

// A file of a zip archive; a plain file or a compressed stream is one entry without a name.
struct ArchiveEntry {
    QString name;
    qint64 size = -1; // unpacked bytes; -1 when the archive does not tell
};

struct UnpackOptions {
    // Unpacking stops with LimitReached once this many bytes are out; -1: no limit.
    qint64 byteLimit = -1;
    // Set from any thread to stop at the next chunk.
    const std::atomic_bool *stop = nullptr;
    // After every chunk: compressed bytes read so far, unpacked bytes written so far.
    std::function<void(qint64 bytesIn, qint64 bytesOut)> progress;
};

struct UnpackResult {
    // Unreadable: nothing could be unpacked (no such file or entry, an unreadable start).
    enum Outcome { Complete, Stopped, LimitReached, Damaged, WriteFailed, Unreadable };
    Outcome outcome = Complete;
    qint64 bytesIn = 0;
    qint64 bytesOut = 0; // what was written is kept, whatever the outcome
    QString error;       // empty when Complete
};

// Reads a plain, compressed (gzip, bzip2, xz, zstd) or zip file from start to end in one pass,
// entry by entry, so that it also reads a pipe. Built on libarchive.
class ArchiveReader
{
public:
    ArchiveReader();
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader &) = delete;
    ArchiveReader &operator=(const ArchiveReader &) = delete;

    // Reads from `fd`, which the caller keeps open until it is done with this reader.
    bool open(int fd);
    bool open(const QString &path);
    // Known after a successful open.
    ArchiveFormat format() const { return detected; }

    // Moves to the next entry (directories and links of a zip are passed over); false after the
    // last one or on an error, which errorString() then tells.
    bool nextEntry(ArchiveEntry *entry);

    // The current entry's bytes in chunks as libarchive unpacks them (some tens of KiB each);
    // `write` answers false when it cannot take one. A call after one that was stopped goes on
    // where that one stopped.
    using Writer = std::function<bool(const char *data, qint64 size)>;
    UnpackResult unpack(const Writer &write, const UnpackOptions &options = UnpackOptions());

    QString errorString() const { return error; }

private:
    bool start();
    void fail(const QString &text);

    struct archive *reader = nullptr;
    int ownFd = -1;
    qint64 plainSize = -1;
    ArchiveFormat detected = ArchiveFormat::Plain;
    // The first header is read on opening, to tell the format; nextEntry hands it out then.
    enum class First { None, Pending, Empty, Taken } first = First::None;
    ArchiveEntry firstEntry;
    bool firstIsFile = false;
    bool emptyStream = false; // the current entry is an empty stream libarchive has no data for
    qint64 entryOut = 0;      // bytes of the current entry unpacked by earlier calls
    bool ended = false;
    QString error;
};

// The format of the file at `path`; Plain with `error` set when it cannot be read.
ArchiveFormat detectArchiveFormat(const QString &path, QString *error = nullptr);

// The entries of the file at `path`: a zip's files, else the one stream.
QVector<ArchiveEntry> listArchiveEntries(const QString &path, QString *error = nullptr);

// Unpacks entry `index` (0 for a plain file or a compressed stream) of the file at `path` into
// `out`. A damaged archive gives what could be read and Damaged with the reason.
UnpackResult unpackArchiveEntry(const QString &path, int index, QIODevice &out,
                                const UnpackOptions &options = UnpackOptions());
