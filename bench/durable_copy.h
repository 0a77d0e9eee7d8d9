#pragma once

#include <QFile>
#include <QString>

#include <unistd.h>

// A copy of a file that ends where a careful save ends: its bytes on the disk. A save that must
// sync is held against a copy that syncs too, not against one still in the page cache.
inline bool copy_to_disk(const QString &from, const QString &to)
{
    QFile::remove(to);
    if (!QFile::copy(from, to))
        return false;
    QFile copy(to);
    return copy.open(QIODevice::ReadWrite) && ::fsync(copy.handle()) == 0;
}
