#pragma once

#include "archive/zip_archive.h"
#include <QString>

#include <QByteArrayView>

#include <vector>

// What a file's first line makes of it.
enum class WeaponLine {
    Weapon, // loads, with at least one key and value
    Broken, // text split by backslashes that does not load; worth telling the user about
    Other,  // anything else: a picture, a sound, a note
};

// Whether line is plain text: no control characters but a tab or a line feed.
bool is_text_line(QByteArrayView line);

// Sorts a first line, splitting it on the way: starts are where its tokens begin, as
// split_weapon_line gives them, and reason says why a Broken line does not load. The archive
// chooser and the table both judge by this, so they always agree on what is a weapon.
WeaponLine classify_weapon_line(QByteArrayView line, std::vector<quint32> &starts, QString &reason);

// How much of each entry's start is unpacked first to tell a weapon file from anything else.
inline constexpr qint64 kWeaponCheckBytes = 4096;

enum class EntryKind { Weapon, Other, Unopenable };

// Whether the entry's first line loads as a weapon file with at least one key and value. A line
// longer than its first few KB is judged by the keys and values that start shows whole; only a
// line that shows none is read on, up to the largest weapon file. Unopenable, with why in
// reason, is an entry that may be a weapon file but cannot be read (encrypted, packed with a
// method we cannot unpack, too large, a broken name, damaged).
EntryKind weapon_entry_kind(ArchiveReader &reader, const ArchiveEntry &entry, QString *reason);

// What the weapon entries of an open archive are, in archive order.
struct WeaponEntries {
    QList<ArchiveEntry> weapons;
    QStringList unopenable; // a sentence for each entry that could not be looked into
    bool cancelled = false;
};
WeaponEntries find_weapon_entries(ArchiveReader &reader, const ArchiveProgress &progress = {});
