#pragma once

#include "document/weapon_file.h"
#include "document/weapon_source.h"

// A weapon file kept as an entry of a game archive: read through the archive library into the
// document core, and written back the same way. Neither library knows the other; this joins them.

// Fills the tree from the entry and origin with where it came from. The archive is taken down
// as the disk holds it before the entry is read, so that a change made meanwhile is noticed at
// Save.
WeaponFileResult load_archive_weapon(WeaponTree &tree, const QString &archive, const QString &entry,
                                     WeaponOrigin &origin);

// Writes the tree, and the lines after the first as they were read, back into the entry; the
// archive is replaced whole or not at all.
WeaponFileResult save_archive_weapon(const WeaponTree &tree, WeaponOrigin &origin);

// A weapon kept as an entry of a game archive, for a WeaponDocument.
class ArchiveEntrySource : public WeaponSource
{
public:
    ArchiveEntrySource(QString archive, QString entry)
        : m_archive(std::move(archive)), m_entry(std::move(entry))
    {
    }

    WeaponFileResult load(WeaponTree &tree, WeaponOrigin &origin) const override
    {
        return load_archive_weapon(tree, m_archive, m_entry, origin);
    }
    WeaponFileResult save(const WeaponTree &tree, WeaponOrigin &origin) const override
    {
        return save_archive_weapon(tree, origin);
    }
    QString displayName() const override;

private:
    QString m_archive;
    QString m_entry;
};
