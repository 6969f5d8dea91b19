// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/archivereader.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <archive.h>
#include <archive_entry.h>

namespace testsupport
{
struct PackedFile {
    QString name;
    QByteArray content;
};

inline la_ssize_t appendPacked(struct archive *, void *target, const void *data, size_t size)
{
    static_cast<QByteArray *>(target)->append(static_cast<const char *>(data), int(size));
    return la_ssize_t(size);
}

// `files` packed by libarchive itself, so that no command-line tool is needed: the one file as a
// stream compressed as `format`, or a zip of them all. Empty when libarchive failed.
inline QByteArray packed(ArchiveFormat format, const QVector<PackedFile> &files)
{
    QByteArray bytes;
    struct archive *writer = archive_write_new();
    switch (format) {
    case ArchiveFormat::Gzip:
        archive_write_add_filter_gzip(writer);
        break;
    case ArchiveFormat::Bzip2:
        archive_write_add_filter_bzip2(writer);
        break;
    case ArchiveFormat::Xz:
        archive_write_add_filter_xz(writer);
        break;
    case ArchiveFormat::Zstd:
        archive_write_add_filter_zstd(writer);
        break;
    case ArchiveFormat::Zip:
    case ArchiveFormat::Plain:
        break;
    }
    // Fast, and for bzip2 blocks of 100 kB, so that a part of a small archive unpacks.
    archive_write_set_filter_option(writer, nullptr, "compression-level", "1");
    if (format == ArchiveFormat::Zip)
        archive_write_set_format_zip(writer);
    else
        archive_write_set_format_raw(writer);
    // Writes go out as they come, not padded to blocks.
    archive_write_set_bytes_in_last_block(writer, 1);
    bool ok = archive_write_open(writer, &bytes, nullptr, appendPacked, nullptr) == ARCHIVE_OK;
    for (const PackedFile &file : files) {
        struct archive_entry *entry = archive_entry_new();
        archive_entry_set_pathname(entry, file.name.toUtf8().constData());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, file.content.size());
        ok = ok && archive_write_header(writer, entry) == ARCHIVE_OK &&
             archive_write_data(writer, file.content.constData(), size_t(file.content.size())) ==
                 file.content.size();
        archive_entry_free(entry);
    }
    ok = archive_write_close(writer) == ARCHIVE_OK && ok;
    archive_write_free(writer);
    return ok ? bytes : QByteArray();
}
} // namespace testsupport
