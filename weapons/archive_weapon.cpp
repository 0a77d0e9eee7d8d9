#include "weapons/archive_weapon.h"

#include "archive/zip_archive.h"

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

WeaponFileResult save_archive_weapon(const WeaponTree &tree, WeaponOrigin &origin)
{
    QByteArray bytes;
    if (WeaponFileResult encoded = weapon_file_bytes(tree, origin.rest, bytes); !encoded)
        return encoded;
    if (const ArchiveResult written = write_entry(origin.path, origin.entry, bytes); !written)
        return {WeaponFileStatus::CannotWrite, 0, written.reason};
    origin.disk = disk_snapshot(origin.path);
    return {};
}

QString ArchiveEntrySource::displayName() const
{
    return QStringLiteral("%1:%2").arg(QDir::toNativeSeparators(m_archive), m_entry);
}
