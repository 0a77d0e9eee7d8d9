#pragma once

#include "document/weapon_tree.h"

#include <QByteArray>
#include <QString>

enum class WeaponFileStatus {
    Ok,
    CannotRead,
    Empty,
    RepeatedKey,
    KeyWithoutValue,
    TooManyNodes,
    UnwritableText,
    CannotWrite,
};

struct WeaponFileResult {
    WeaponFileStatus status = WeaponFileStatus::Ok;
    // The node that stopped a save, or 0.
    NodeIndex node = 0;
    // A sentence for the user; empty on success.
    QString reason;

    bool ok() const { return status == WeaponFileStatus::Ok; }
    explicit operator bool() const { return ok(); }
};

// Clears the tree and fills it from the first line of the file at path. On failure the tree
// holds what was built before the failing step.
WeaponFileResult load_weapon(WeaponTree &tree, const QString &path);

// Writes the tree over the file at path, as one line ended by CR LF. Does nothing for an empty
// path. On failure the file keeps its previous bytes.
WeaponFileResult save_weapon(const WeaponTree &tree, const QString &path);

// Whether a node's text may hold c: a backslash would split the token, a carriage return would
// end the line, and some characters have no byte in the file's code page.
bool weapon_text_allows(QChar c);
// The first thing in text that the file cannot keep ("a backslash", "the character U+4E2D"),
// or an empty text when it can keep all of it.
QString unwritable_part(QStringView text);

// The halves of the two above that do not touch the disk.
WeaponFileResult build_weapon_tree(WeaponTree &tree, QByteArrayView firstLine);
WeaponFileResult weapon_line(const WeaponTree &tree, QByteArray &line);

// The bytes of the file's first line: up to the first CR, or the whole file when it has none.
// Fails on a file that cannot be read or holds no byte at all.
WeaponFileResult read_first_line(const QString &path, QByteArray &line);
