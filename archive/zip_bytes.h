#pragma once

#include "archive/zip_archive.h"

#include <QByteArray>
#include <QString>

#include <memory>

// Where an archive's bytes come from: a file opened for reading, or bytes in memory.
class ZipBytes
{
public:
    virtual ~ZipBytes() = default;
    virtual qint64 size() const = 0;
    // Fills data with count bytes from offset on; false when they are not all there.
    virtual bool readAt(qint64 offset, char *data, qint64 count) const = 0;
};

// Opens path for reading only if it is a regular file, without ever blocking on a named pipe or
// a device; nullptr with result set otherwise.
std::unique_ptr<ZipBytes> open_zip_file(const QString &path, ArchiveResult &result);
std::unique_ptr<ZipBytes> zip_bytes_in_memory(const QByteArray &bytes);
