#pragma once

#include "document/weapon_tree.h"

#include <QByteArrayView>

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
