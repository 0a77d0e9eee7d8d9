#pragma once

#include "document/weapon_origin.h"
#include "document/weapon_tree.h"

#include <QByteArray>
#include <QString>

#include <vector>

enum class WeaponFileStatus {
    Ok,
    CannotRead,
    Empty,
    RepeatedKey,
    KeyWithoutValue,
    TooManyNodes,
    UnwritableText,
    CannotWrite,
    NotAFile,
    TooLarge,
    ChangedOnDisk,
};

// No weapon file comes near this size; anything larger is refused before it is read, which
// bounds the memory an Open can take.
inline constexpr qint64 kMaxWeaponFileBytes = 16 * 1024 * 1024;

struct WeaponFileResult {
    WeaponFileStatus status = WeaponFileStatus::Ok;
    // The node that stopped a save, or 0.
    NodeIndex node = 0;
    // A sentence for the user; empty on success.
    QString reason;

    bool ok() const { return status == WeaponFileStatus::Ok; }
    explicit operator bool() const { return ok(); }
};

// Clears the tree and fills it from the first line of the file at path, and when origin is given
// and the load succeeds, sets it to the file: its path, the bytes after the first line and what
// the disk held. On failure the tree holds what was built before the failing step. Only a
// regular file of at most kMaxWeaponFileBytes is read; anything else is refused at once.
WeaponFileResult load_weapon(WeaponTree &tree, const QString &path, WeaponOrigin *origin = nullptr);

// Writes the tree over the file at path, as one line ended by CR LF. Does nothing for an empty
// path. On failure the file keeps its previous bytes.
WeaponFileResult save_weapon(const WeaponTree &tree, const QString &path);
// Writes the tree's line and then origin.rest over the file at origin.path, keeping the file's
// permissions, owner and links (write_file_carefully), and on success notes in origin.disk what
// the disk now holds. Does nothing for an empty path. Refuses an origin inside an archive: an
// entry's bytes go back through the archive (weapon_file_bytes), never over the archive itself.
WeaponFileResult save_weapon(const WeaponTree &tree, WeaponOrigin &origin);

// What the file at path holds now; a missing file, or anything but a regular file, gives size
// -1. A file larger than kMaxWeaponFileBytes is not read and gets no checksum.
DiskSnapshot disk_snapshot(const QString &path);
// Whether the file at origin.path is no longer what we last read or wrote there, for instance
// because another program changed or deleted it.
bool disk_changed(const WeaponOrigin &origin);

// Whether a node's text may hold c: a backslash would split the token, a carriage return would
// end the line, and some characters have no byte in the file's code page.
bool weapon_text_allows(QChar c);
// The first thing in text that the file cannot keep ("a backslash", "the character U+4E2D"),
// or an empty text when it can keep all of it.
QString unwritable_part(QStringView text);

// The halves of load and save that do not touch the disk.
WeaponFileResult build_weapon_tree(WeaponTree &tree, QByteArrayView firstLine);
// The tree as one line ended by CR LF. Refuses a tree whose line could not be opened again.
WeaponFileResult weapon_line(const WeaponTree &tree, QByteArray &line);
// Checks a first line as build_weapon_tree does, with the same refusals in the same order and
// the same words, without building a tree: for a table of thousands of weapons that keeps each
// one as its bytes. starts gets where each token after the header begins (its key, its value,
// the next key, ...); on failure it holds what was split before the failing token.
WeaponFileResult split_weapon_line(QByteArrayView firstLine, std::vector<quint32> &starts);
// The whole file for a first line already in the file's bytes (no line end): the line, CR LF,
// then rest; refused as weapon_file_bytes refuses a tree, where it would not open again.
WeaponFileResult weapon_file_bytes(QByteArrayView firstLine, QByteArrayView rest, QByteArray &out);
// Writes such a line and origin.rest carefully over origin.path, as save_weapon does.
WeaponFileResult save_weapon_line(QByteArrayView firstLine, WeaponOrigin &origin);
// A file's bytes cut at the end of its first line: the line runs up to the first CR, or over the
// whole file when it has none (a lone LF does not end it); rest starts after that CR and the LF
// right behind it, if any.
void split_weapon_bytes(QByteArrayView all, QByteArray &firstLine, QByteArray &rest);
// The whole file for the tree: its line, CR LF, then rest as it was read.
WeaponFileResult weapon_file_bytes(const WeaponTree &tree, QByteArrayView rest, QByteArray &out);
