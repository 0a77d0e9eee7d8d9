#include "weapons/archive_weapon.h"

#include "document/careful_save.h"

#include <QDir>

#include <cerrno>

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

ArchiveResult write_archive_entries(const QString &archive,
                                    const QList<std::pair<QString, QByteArray>> &entries,
                                    DiskSnapshot *written, const ArchiveProgress &progress,
                                    ArchiveMemo *memo)
{
    ArchiveRewrite rewrite;
    ArchiveResult streamed =
        rewrite.prepare(archive, entries, memo ? std::move(*memo) : ArchiveMemo());
    if (!streamed)
        return streamed;
    int sinkError = 0;
    const ContentWriter writer = [&](ContentSink &sink) {
        streamed = rewrite.write(
            [&](QByteArrayView bytes) { return (sinkError = sink.write(bytes)) == 0; }, progress);
        if (sinkError != 0 || streamed)
            return sinkError;
        return streamed.status == ArchiveStatus::Cancelled ? ECANCELED : EIO;
    };
    const WeaponFileResult saved = write_file_carefully(archive, writer, written);
    // The archive's own reason says more than the errno it was turned into.
    if (!streamed && sinkError == 0)
        return streamed;
    if (!saved)
        return {ArchiveStatus::CannotWrite, saved.reason};
    if (memo)
        *memo = rewrite.takeMemo();
    return {};
}

ArchiveResult write_archive_entry(const QString &archive, const QString &entry,
                                  const QByteArray &bytes, const ArchiveProgress &progress)
{
    return write_archive_entries(archive, {{entry, bytes}}, nullptr, progress);
}

WeaponFileResult save_archive_weapon(const WeaponTree &tree, WeaponOrigin &origin,
                                     const ArchiveProgress &progress)
{
    QByteArray bytes;
    if (WeaponFileResult encoded = weapon_file_bytes(tree, origin.rest, bytes); !encoded)
        return encoded;
    DiskSnapshot disk;
    const ArchiveResult written =
        write_archive_entries(origin.path, {{origin.entry, bytes}}, &disk, progress);
    if (!written)
        return {WeaponFileStatus::CannotWrite, 0, written.reason};
    origin.disk = disk;
    return {};
}

QString ArchiveEntrySource::displayName() const
{
    return QStringLiteral("%1:%2").arg(QDir::toNativeSeparators(m_archive), m_entry);
}
