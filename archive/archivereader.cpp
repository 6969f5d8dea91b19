// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/archivereader.h"

#include <QFile>
#include <QIODevice>

#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// What libarchive reads from the file at a time.
constexpr size_t blockSize = 256 << 10;

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString libarchiveError(struct archive *reader)
{
    const char *text = archive_error_string(reader);
    return text ? QString::fromLocal8Bit(text) : systemError(archive_errno(reader));
}

// The first bytes already could not be unpacked.
QString unreadableStart(struct archive *reader)
{
    return QStringLiteral("The archive could not be read: %1").arg(libarchiveError(reader));
}

ArchiveFormat formatOfFilters(struct archive *reader)
{
    // Filter 0 is the one nearest to the data; a plain file has only the "none" filter.
    const int count = archive_filter_count(reader);
    for (int i = 0; i < count; ++i) {
        switch (archive_filter_code(reader, i)) {
        case ARCHIVE_FILTER_GZIP:
            return ArchiveFormat::Gzip;
        case ARCHIVE_FILTER_BZIP2:
            return ArchiveFormat::Bzip2;
        case ARCHIVE_FILTER_XZ:
            return ArchiveFormat::Xz;
        case ARCHIVE_FILTER_ZSTD:
            return ArchiveFormat::Zstd;
        default:
            break;
        }
    }
    return ArchiveFormat::Plain;
}

ArchiveEntry entryOf(struct archive_entry *header, bool named)
{
    ArchiveEntry entry;
    if (named) {
        const char *name = archive_entry_pathname_utf8(header);
        entry.name =
            name ? QString::fromUtf8(name) : QString::fromLocal8Bit(archive_entry_pathname(header));
    }
    if (archive_entry_size_is_set(header))
        entry.size = archive_entry_size(header);
    return entry;
}

UnpackResult notRead(const QString &error)
{
    UnpackResult result;
    result.outcome = UnpackResult::Unreadable;
    result.error = error;
    return result;
}
} // namespace

QString archiveFormatName(ArchiveFormat format)
{
    switch (format) {
    case ArchiveFormat::Gzip:
        return QStringLiteral("gzip");
    case ArchiveFormat::Bzip2:
        return QStringLiteral("bzip2");
    case ArchiveFormat::Xz:
        return QStringLiteral("xz");
    case ArchiveFormat::Zstd:
        return QStringLiteral("zstd");
    case ArchiveFormat::Zip:
        return QStringLiteral("zip");
    case ArchiveFormat::Plain:
        break;
    }
    return QStringLiteral("plain");
}

ArchiveReader::ArchiveReader() = default;

ArchiveReader::~ArchiveReader()
{
    if (reader)
        archive_read_free(reader);
    if (ownFd >= 0)
        ::close(ownFd);
}

bool ArchiveReader::open(const QString &path)
{
    ownFd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (ownFd < 0) {
        fail(systemError(errno));
        return false;
    }
    return open(ownFd);
}

bool ArchiveReader::open(int fd)
{
    struct stat status;
    if (fstat(fd, &status) != 0) {
        fail(systemError(errno));
        return false;
    }
    if (S_ISDIR(status.st_mode)) {
        fail(systemError(EISDIR));
        return false;
    }
    if (S_ISREG(status.st_mode))
        plainSize = status.st_size;
    reader = archive_read_new();
    // Only what logs travel in: no tar, no other filters, no external programs.
    archive_read_support_filter_gzip(reader);
    archive_read_support_filter_bzip2(reader);
    archive_read_support_filter_xz(reader);
    archive_read_support_filter_zstd(reader);
    archive_read_support_format_zip(reader);
    archive_read_support_format_empty(reader);
    // Bids last: whatever no other format takes is read as it is.
    archive_read_support_format_raw(reader);
    if (archive_read_open_fd(reader, fd, blockSize) != ARCHIVE_OK) {
        fail(unreadableStart(reader));
        return false;
    }
    return start();
}

bool ArchiveReader::start()
{
    struct archive_entry *header = nullptr;
    const int status = archive_read_next_header(reader, &header);
    if (status < ARCHIVE_WARN) {
        fail(unreadableStart(reader));
        return false;
    }
    const bool zip = (archive_format(reader) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_ZIP;
    detected = zip ? ArchiveFormat::Zip : formatOfFilters(reader);
    if (status == ARCHIVE_EOF) {
        first = First::Empty;
        return true;
    }
    first = First::Pending;
    firstIsFile = archive_entry_filetype(header) == AE_IFREG;
    firstEntry = entryOf(header, zip);
    if (detected == ArchiveFormat::Plain)
        firstEntry.size = plainSize;
    return true;
}

bool ArchiveReader::nextEntry(ArchiveEntry *entry)
{
    if (!reader || ended)
        return false;
    emptyStream = false;
    entryOut = 0;
    if (first == First::Pending) {
        first = First::Taken;
        if (firstIsFile) {
            *entry = firstEntry;
            return true;
        }
    } else if (first == First::Empty) {
        // An empty compressed stream or plain file is one empty log; an empty zip has no files.
        first = First::Taken;
        ended = true;
        if (detected == ArchiveFormat::Zip)
            return false;
        *entry = ArchiveEntry{QString(), 0};
        emptyStream = true;
        return true;
    }
    for (;;) {
        struct archive_entry *header = nullptr;
        const int status = archive_read_next_header(reader, &header);
        if (status == ARCHIVE_EOF) {
            ended = true;
            return false;
        }
        if (status < ARCHIVE_WARN) {
            fail(libarchiveError(reader));
            ended = true;
            return false;
        }
        if (archive_entry_filetype(header) == AE_IFREG) {
            *entry = entryOf(header, detected == ArchiveFormat::Zip);
            return true;
        }
    }
}

UnpackResult ArchiveReader::unpack(const Writer &write, const UnpackOptions &options)
{
    UnpackResult result;
    if (!reader || emptyStream)
        return result;
    // Offsets count from the entry's start; an earlier call may have unpacked its first bytes.
    const qint64 entryStart = entryOut;
    // Blocks as libarchive holds them: archive_read_data would drop the bytes it gathered for
    // a call that then meets damage.
    const auto put = [&](const char *data, qint64 size) {
        const bool overLimit = options.byteLimit >= 0 && result.bytesOut + size > options.byteLimit;
        if (overLimit)
            size = options.byteLimit - result.bytesOut;
        if (size > 0 && !write(data, size)) {
            result.outcome = UnpackResult::WriteFailed;
            result.error = QStringLiteral("The unpacked data could not be written");
            return false;
        }
        result.bytesOut += size;
        if (overLimit) {
            result.outcome = UnpackResult::LimitReached;
            result.error =
                QStringLiteral("The archive unpacks to more than %1 bytes; unpacking stopped there")
                    .arg(options.byteLimit);
            return false;
        }
        return true;
    };
    for (;;) {
        if (options.stop && options.stop->load(std::memory_order_relaxed)) {
            result.outcome = UnpackResult::Stopped;
            result.error = QStringLiteral("Unpacking was stopped");
            break;
        }
        const void *block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        const int status = archive_read_data_block(reader, &block, &size, &offset);
        result.bytesIn = archive_filter_bytes(reader, -1);
        if (status == ARCHIVE_EOF)
            break;
        if (status < ARCHIVE_WARN) {
            result.outcome = UnpackResult::Damaged;
            // A plain file only fails to be read.
            result.error = detected == ArchiveFormat::Plain && archive_errno(reader) > 0
                               ? systemError(archive_errno(reader))
                               : QStringLiteral("The archive could not be read to its end: %1")
                                     .arg(libarchiveError(reader));
            break;
        }
        // A hole the archive leaves out reads as zero bytes.
        static const char zeros[4096] = {};
        bool going = true;
        while (going && offset > entryStart + result.bytesOut)
            going = put(zeros, qMin<qint64>(sizeof zeros, offset - entryStart - result.bytesOut));
        if (!going || !put(static_cast<const char *>(block), qint64(size)))
            break;
        if (options.progress)
            options.progress(result.bytesIn, result.bytesOut);
    }
    entryOut = entryStart + result.bytesOut;
    return result;
}

void ArchiveReader::fail(const QString &text)
{
    error = text;
}

ArchiveFormat detectArchiveFormat(const QString &path, QString *error)
{
    ArchiveReader reader;
    const bool opened = reader.open(path);
    if (error)
        *error = opened ? QString() : reader.errorString();
    return reader.format();
}

QVector<ArchiveEntry> listArchiveEntries(const QString &path, QString *error)
{
    QVector<ArchiveEntry> entries;
    ArchiveReader reader;
    if (reader.open(path)) {
        ArchiveEntry entry;
        while (reader.nextEntry(&entry))
            entries.append(entry);
    }
    if (error)
        *error = reader.errorString();
    return entries;
}

UnpackResult unpackArchiveEntry(const QString &path, int index, QIODevice &out,
                                const UnpackOptions &options)
{
    ArchiveReader reader;
    if (!reader.open(path))
        return notRead(reader.errorString());
    ArchiveEntry entry;
    for (int i = 0; i <= qMax(index, 0); ++i) {
        if (!reader.nextEntry(&entry)) {
            if (!reader.errorString().isEmpty())
                return notRead(reader.errorString());
            return notRead(i == 0 ? QStringLiteral("The archive holds no files")
                                  : QStringLiteral("The archive has no file %1: it holds %2")
                                        .arg(index + 1)
                                        .arg(i));
        }
    }
    return reader.unpack(
        [&out](const char *data, qint64 size) { return out.write(data, size) == size; }, options);
}
