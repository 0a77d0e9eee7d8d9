#pragma once

#include "archive/zip_archive.h"
#include "document/weapon_file.h"
#include "document/weapon_source.h"

// A weapon file kept as an entry of a game archive: read through the archive library into the
// document core, and written back the same way. Neither library knows the other; this joins them.

// Fills the tree from the entry and origin with where it came from. The archive is taken down
// as the disk holds it before the entry is read, so that a change made meanwhile is noticed at
// Save.
WeaponFileResult load_archive_weapon(WeaponTree &tree, const QString &archive, const QString &entry,
                                     WeaponOrigin &origin);

// Replaces the named entries' bytes and writes the archive through the same careful save as a
// plain file, so that it keeps its owner, mode, links and attributes, and a crash leaves its
// backup. The new archive streams from the old one into the file that replaces it. On success,
// written (when given) gets what the disk now holds, without reading the archive back. A memo
// (when given) is what the last save through it learnt of the archive; the save takes it and
// leaves what it learnt, or nothing when it failed.
ArchiveResult write_archive_entries(const QString &archive,
                                    const QList<std::pair<QString, QByteArray>> &entries,
                                    DiskSnapshot *written = nullptr,
                                    const ArchiveProgress &progress = {},
                                    ArchiveMemo *memo = nullptr);
ArchiveResult write_archive_entry(const QString &archive, const QString &entry,
                                  const QByteArray &bytes, const ArchiveProgress &progress = {});

// Writes the tree, and the lines after the first as they were read, back into the entry. The
// work on a large archive reports to progress, which can cancel it; then nothing is written.
WeaponFileResult save_archive_weapon(const WeaponTree &tree, WeaponOrigin &origin,
                                     const ArchiveProgress &progress = {});

// A weapon kept as an entry of a game archive, for a WeaponDocument. Its saves report to
// progress, which a window turns into a dialog with Cancel.
class ArchiveEntrySource : public WeaponSource
{
public:
    ArchiveEntrySource(QString archive, QString entry, ArchiveProgress progress = {})
        : m_archive(std::move(archive)), m_entry(std::move(entry)), m_progress(std::move(progress))
    {
    }

    WeaponFileResult load(WeaponTree &tree, WeaponOrigin &origin) const override
    {
        return load_archive_weapon(tree, m_archive, m_entry, origin);
    }
    WeaponFileResult save(const WeaponTree &tree, WeaponOrigin &origin) const override
    {
        return save_archive_weapon(tree, origin, m_progress);
    }
    QString displayName() const override;

private:
    QString m_archive;
    QString m_entry;
    ArchiveProgress m_progress;
};
