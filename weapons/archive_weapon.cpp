#include "weapons/archive_weapon.h"

#include "document/careful_save.h"

#include <QDir>

WeaponFileResult load_archive_weapon(WeaponTree &tree, const QString &archive, const QString &entry,
                                     WeaponOrigin &origin)
{
    const DiskSnapshot disk = disk_snapshot(archive);
    QByteArray bytes;
    if (const ArchiveResult read = read_entry(archive, entry, kMaxWeaponFileBytes, bytes); !read)
        return {WeaponFileStatus::CannotRead, 0, read.reason};
    QByteArray firstLine, rest;
    split_weapon_bytes(bytes, firstLine, rest);
    const WeaponTreeBatch batch(tree);
    tree.nodes().Clear();
    if (WeaponFileResult built = build_weapon_tree(tree, firstLine); !built)
        return built;
    origin = {archive, entry, rest, disk};
    return {};
}

ArchiveResult write_archive_entry(const QString &archive, const QString &entry,
                                  const QByteArray &bytes, const ArchiveProgress &progress)
{
    QByteArray rewritten;
    if (ArchiveResult result = rewrite_entry(archive, entry, bytes, rewritten, progress); !result)
        return result;
    if (const WeaponFileResult written = write_file_carefully(archive, rewritten); !written)
        return {ArchiveStatus::CannotWrite, written.reason};
    return {};
}

WeaponFileResult save_archive_weapon(const WeaponTree &tree, WeaponOrigin &origin,
                                     const ArchiveProgress &progress)
{
    QByteArray bytes;
    if (WeaponFileResult encoded = weapon_file_bytes(tree, origin.rest, bytes); !encoded)
        return encoded;
    const ArchiveResult written = write_archive_entry(origin.path, origin.entry, bytes, progress);
    if (!written)
        return {WeaponFileStatus::CannotWrite, 0, written.reason};
    origin.disk = disk_snapshot(origin.path);
    return {};
}

QString ArchiveEntrySource::displayName() const
{
    return QStringLiteral("%1:%2").arg(QDir::toNativeSeparators(m_archive), m_entry);
}
