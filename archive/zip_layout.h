#pragma once

#include "archive/zip_archive.h"
#include "archive/zip_bytes.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <memory>

// One entry as the central directory describes it. Its central record stays where it lies in
// the directory's bytes, so that a rewrite can copy it untouched but for the local header's place.
struct ZipRecord {
    qsizetype centralAt = 0; // where the record starts in ZipLayout::central
    qsizetype centralSize = 0;
    qsizetype offsetAt = 0;       // where in the record the 4-byte local header offset lies
    qsizetype zip64OffsetAt = -1; // where the 8-byte one of the zip64 field lies, if it does
    quint16 flags = 0;
    quint16 method = 0;
    quint32 crc = 0;
    quint64 compressedSize = 0;
    quint64 size = 0;
    quint64 localOffset = 0;
    quint64 dataOffset = 0; // where the packed bytes start, after the local header
    quint64 spanEnd = 0;    // where the next entry, or the central directory, starts

    bool operator==(const ZipRecord &) const = default;
};

// What a rewrite needs of the archive as a whole, beside its entries.
struct ZipLayout {
    QByteArray central;          // the central directory as the file holds it
    QList<ZipRecord> records;    // in central directory order, folders included
    QList<ArchiveEntry> entries; // the file entries, each naming its record by index
    // Every name, with where in entries the file of that name is; -1 for a folder, or for a name
    // that could not be read and so names no file.
    QHash<QString, qsizetype> names;
    quint64 centralOffset = 0;
    quint64 centralSize = 0;
    // Offsets of the end records; -1 for a zip64 record the archive does not have.
    qint64 endAt = 0;
    qint64 zip64EndAt = -1;
    qint64 zip64LocatorAt = -1;

    bool operator==(const ZipLayout &) const = default;
};

// Reads the central directory and every local header, and refuses an archive whose entries
// share or overlap their bytes: such an archive is damaged or built to make a reader repeat its
// work, and no rewrite could keep it as it is. The work grows with the entries' count alone.
ArchiveResult read_zip_layout(const ZipBytes &bytes, ZipLayout &layout);

// The names of packing methods a user may have heard of, for the message that refuses them.
QString method_name(quint16 method);

quint16 get16(const char *at);
quint32 get32(const char *at);
quint64 get64(const char *at);
void put16(QByteArray &bytes, qsizetype at, quint16 value);
void put32(QByteArray &bytes, qsizetype at, quint32 value);
void put64(QByteArray &bytes, qsizetype at, quint64 value);
