#pragma once

#include "document/careful_save.h"

#include <QByteArrayView>
#include <QStringList>

#include <functional>

struct stat;

// What a careful save writes: bytes in memory, the whole content of an open file, or what a
// writer produces. The last can be written only once and its size is known only after, so
// an in-place write, which compares and may write again, takes it from a temporary copy.
class SaveSource
{
public:
    explicit SaveSource(QByteArrayView bytes) : m_bytes(bytes), m_size(bytes.size()) {}
    SaveSource(int fd, qint64 size) : m_fd(fd), m_size(size) {}
    explicit SaveSource(const ContentWriter &writer) : m_writer(&writer) {}
    bool isProduced() const { return m_writer != nullptr; }
    qint64 size() const { return m_size; }
    // Writes every byte to fd from its start, a piece at a time, calling afterPiece after each;
    // sum gets the bytes' checksum. 0, or the errno of the step (or of afterPiece) that failed.
    int writeTo(int fd, quint64 &sum, const std::function<int()> &afterPiece = {}) const;
    // 0 when fd holds exactly these bytes from its start, EIO when it holds others, else errno.
    // Not for produced content.
    int compareWith(int fd) const;

private:
    // The piece at offset, from memory or read into buffer; null with error set on failure.
    const char *piece(qint64 offset, qint64 n, QByteArray &buffer, int &error) const;

    QByteArrayView m_bytes;
    const ContentWriter *m_writer = nullptr;
    int m_fd = -1;
    qint64 m_size = 0;
};

// Where a backup of the file at path is kept while it is written in place: beside it, named
// after it, and where its folder takes no new file, in the cache folder under a name that its
// full path decides. Links are followed: the backup is of the file that is written.
QStringList save_backup_locations(const QString &path);

// Overwrites the regular file at path (the one old describes) with source, in place, so that it
// stays the same file. First its old bytes go to a backup, named and on the disk, which puts
// them back if the write fails and which a crash leaves behind for the next Open to offer. With
// backUp false the bytes come from such a backup, which then stays until they are down.
WeaponFileResult write_in_place(const QString &path, const SaveSource &source,
                                const struct stat &old, bool backUp, DiskSnapshot *written);

// The answer of the test probe for step, or 0 when none is set.
int in_place_probe(InPlaceStep step);
