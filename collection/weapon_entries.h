#pragma once

#include "archive/zip_archive.h"
#include "document/weapon_tree.h"

#include <QByteArrayView>
#include <QStringList>

// How much of each entry's start is unpacked to tell a weapon file from anything else.
inline constexpr qint64 kWeaponCheckBytes = 4096;

// What a file's first line makes of it.
enum class WeaponLine {
    Weapon, // loads, with at least one key and value
    Broken, // text split by backslashes that does not load; worth telling the user about
    Other,  // anything else: a picture, a sound, a note
};

// Whether line is plain text: no control characters but a tab or a line feed.
bool is_text_line(QByteArrayView line);

// Sorts a first line, building the weapon into tree on the way; reason says why a Broken line
// does not load.
WeaponLine classify_weapon_line(QByteArrayView line, WeaponTree &tree, QString &reason);

// Whether the entry's first line loads as a weapon file with at least one key and value.
bool is_weapon_entry(ArchiveReader &reader, const ArchiveEntry &entry);

// The names of the weapon entries of an open archive, in archive order.
QStringList weapon_entry_names(ArchiveReader &reader);
