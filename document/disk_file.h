#pragma once

#include "document/weapon_file.h"

#include <QByteArray>
#include <QString>

// Owns an open file descriptor and closes it on every way out.
class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor();
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// The plain-words name of what a file of st_mode mode is, when it is anything but a regular
// file ("a named pipe (FIFO)", "a folder").
QString special_file_kind(unsigned mode);

// The system's own words for errno value error.
QString system_error_text(int error);

// A checksum of bytes, cheap enough to take on every Open and Save of the largest file.
quint64 bytes_checksum(QByteArrayView bytes);

// Reads the whole file at path, which must be a regular file (or a link to one) of at most
// kMaxWeaponFileBytes. Anything else is refused before a byte is read, and no step can block, so
// that a named pipe or a device cannot hang or flood the program. disk describes what was read.
WeaponFileResult read_regular_file(const QString &path, QByteArray &bytes, DiskSnapshot &disk);

// The modification time of the file at path, in ns since the epoch, or 0 when it has none.
qint64 modification_time(const QString &path);
