#pragma once

#include "archive/zip_archive.h"

#include <QByteArrayView>

#include <zip.h>

// What the reader and the writer share: opening an archive on disk, taking stock of its
// entries, and saying what went wrong.

ArchiveResult archive_failure(ArchiveStatus status, const QString &reason);
QString quoted_name(const ArchiveEntry &entry);

// A libzip error on opening, in the user's words; start is the file's first bytes, and
// systemDetail says why the system refused, when it did, since libzip keeps only its own code.
ArchiveResult open_failure(int code, QByteArrayView start, const QString &systemDetail = {});

// Every file entry, in archive order. Refuses two entries of the same name, since either of
// them could be the one a later save replaces.
ArchiveResult collect_entries(zip_t *archive, QList<ArchiveEntry> &entries);

// Opens an archive on disk through our own file source; nullptr with result set on failure.
zip_t *open_zip(const QString &path, int flags, ArchiveResult &result);
