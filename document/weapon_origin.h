#pragma once

#include <QByteArray>
#include <QString>

// What the disk held when a document was read or last written, to notice another program's
// change before a save overwrites it.
struct DiskSnapshot {
    qint64 size = -1;     // -1: no file, or nothing a weapon file can be
    qint64 modified = 0;  // modification time, ns since the epoch
    quint64 checksum = 0; // of the bytes; only ever compared within one run of the program
    bool operator==(const DiskSnapshot &) const = default;
};

// Where a document came from: a plain file, or an entry of an archive (then entry names it and
// path is the archive). Open fills it, Save reads and updates it.
struct WeaponOrigin {
    QString path;      // the weapon file, or the archive that holds the entry
    QString entry;     // path inside the archive; empty for a plain file
    QByteArray rest;   // the bytes after the first line's end (its CR LF or lone CR), as read
    DiskSnapshot disk; // the file at path as last read or written by us
};
