#pragma once

#include "document/weapon_file.h"

#include <QByteArray>
#include <QString>

struct stat;

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

// Files are read, written and summed in pieces of this size, so that the memory taken does not
// grow with the file.
inline constexpr qsizetype kFilePiece = 1 << 20;

// A checksum of bytes, cheap enough to take on every Open and Save of the largest file. Taken a
// piece of kFilePiece at a time, each piece's sum going on from the one before, so that a file
// too large to hold in memory gets the same sum (file_checksum).
quint64 bytes_checksum(QByteArrayView bytes);
quint64 piece_checksum(QByteArrayView piece, quint64 before);
// The checksum of the first size bytes of the open file fd; 0 or the errno of a failed read.
int file_checksum(int fd, qint64 size, quint64 &sum);

// pread and pwrite run until size bytes have moved; 0, or the errno of the step that failed.
int read_at(int fd, char *data, qint64 size, qint64 offset);
int write_at(int fd, const char *data, qint64 size, qint64 offset);

// Puts the folder's list of names on the disk, so that a file just named or removed there stays
// so after a crash; 0 or errno.
int sync_folder(const QString &folder);

// What info says of a file whose bytes have checksum, taken now.
DiskSnapshot snapshot_of(const struct stat &info, quint64 checksum);

// Reads the whole file at path, which must be a regular file (or a link to one) of at most
// kMaxWeaponFileBytes. Anything else is refused before a byte is read, and no step can block, so
// that a named pipe or a device cannot hang or flood the program. disk describes what was read.
WeaponFileResult read_regular_file(const QString &path, QByteArray &bytes, DiskSnapshot &disk);
// The same for a file that a folder's listing has just shown to be a regular file: the listing
// stands for the look before the open, and anything else found there once it is open is refused
// all the same.
WeaponFileResult read_listed_file(const QString &path, QByteArray &bytes, DiskSnapshot &disk);
