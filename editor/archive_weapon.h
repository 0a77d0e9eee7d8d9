#pragma once

#include "archive/zip_archive.h"
#include "document/weapon_file.h"

class QWidget;

// A weapon file kept as an entry of a game archive: read through the archive library into the
// document core, and written back the same way. Neither library knows the other; this joins them.

// Fills the tree from the entry and origin with where it came from. The archive is taken down
// as the disk holds it before the entry is read, so that a change made meanwhile is noticed at
// Save.
WeaponFileResult load_archive_weapon(WeaponTree &tree, const QString &archive, const QString &entry,
                                     WeaponOrigin &origin);

// Replaces one entry's bytes and writes the archive through the same careful save as a plain
// file, so that it keeps its owner, mode, links and attributes, and a crash leaves its backup.
ArchiveResult write_archive_entry(const QString &archive, const QString &entry,
                                  const QByteArray &bytes, const ArchiveProgress &progress = {});

// Writes the tree, and the lines after the first as they were read, back into the entry. A large
// archive shows its progress over owner and can be cancelled; then nothing is written.
WeaponFileResult save_archive_weapon(const WeaponTree &tree, WeaponOrigin &origin,
                                     QWidget *owner = nullptr);
