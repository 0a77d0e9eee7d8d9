#pragma once

#include <QByteArray>
#include <QString>

// What the disk held when a document was read or last written, to notice another program's
// change before a save overwrites it. The file's status tells most changes without a read: a
// write moves the change time, which no program can set back. The checksum of the bytes is
// needed only where the change time moved but not the size or modification time, and where the
// snapshot was taken so soon after the file's last change that a further change could still
// carry the same times (one tick of the file system's clock).
struct DiskSnapshot {
    qint64 size = -1;    // -1: no file, or nothing a weapon file can be
    qint64 modified = 0; // modification time, ns since the epoch
    qint64 changed = 0;  // status change time, ns since the epoch
    quint64 inode = 0;
    quint64 device = 0;
    quint64 checksum = 0; // of the bytes; only ever compared within one run of the program
    qint64 taken = 0;     // when the snapshot was taken, ns since the epoch
    // The same file with the same status; the bytes are compared apart, where they must be.
    bool operator==(const DiskSnapshot &other) const
    {
        return size == other.size && modified == other.modified && changed == other.changed &&
               inode == other.inode && device == other.device;
    }
};

// Where a document came from: a plain file, or an entry of an archive (then entry names it and
// path is the archive). Open fills it, Save reads and updates it.
struct WeaponOrigin {
    QString path;      // the weapon file, or the archive that holds the entry
    QString entry;     // path inside the archive; empty for a plain file
    QByteArray rest;   // the bytes after the first line's end (its CR LF or lone CR), as read
    DiskSnapshot disk; // the file at path as last read or written by us
};
