#include "collection/save_all.h"

#include "document/weapon_file.h"
#include "weapons/archive_weapon.h"

#include <QDir>

namespace
{

// Whether to write over a change made by another program; Cancel stops the whole save.
class ChangeCheck
{
public:
    ChangeCheck(const AskChangedOnDisk &ask, SaveReport &report) : m_ask(ask), m_report(report) {}

    bool mayWrite(const WeaponOrigin &origin, const QString &location)
    {
        if (m_overwriteAll || !disk_changed(origin))
            return true;
        switch (m_ask ? m_ask(location) : ChangedOnDisk::Skip) {
        case ChangedOnDisk::OverwriteAll:
            m_overwriteAll = true;
            return true;
        case ChangedOnDisk::Overwrite:
            return true;
        case ChangedOnDisk::Skip:
            ++m_report.skipped;
            return false;
        case ChangedOnDisk::Cancel:
            m_report.cancelled = true;
            return false;
        }
        return false;
    }

private:
    const AskChangedOnDisk &m_ask;
    SaveReport &m_report;
    bool m_overwriteAll = false;
};

void saveFiles(WeaponCollection &weapons, ChangeCheck &check, SaveReport &report)
{
    for (int row = 0; row < weapons.size() && !report.cancelled; ++row) {
        if (!weapons.isChanged(row))
            continue;
        WeaponRecord &weapon = weapons.record(row);
        if (!check.mayWrite(weapon.origin, weapons.location(row)))
            continue;
        if (const WeaponFileResult saved = save_weapon_line(weapon.line(), weapon.origin); !saved) {
            report.failures.append({weapons.location(row), saved.reason});
            continue;
        }
        weapons.markSaved(row);
        ++report.written;
    }
}

void saveArchive(WeaponCollection &weapons, ChangeCheck &check, SaveReport &report)
{
    QList<int> rows;
    QList<std::pair<QString, QByteArray>> entries;
    for (int row = 0; row < weapons.size(); ++row) {
        if (!weapons.isChanged(row))
            continue;
        const WeaponRecord &weapon = weapons.record(row);
        QByteArray bytes;
        if (const WeaponFileResult encoded =
                weapon_file_bytes(weapon.line(), weapon.origin.rest, bytes);
            !encoded) {
            report.failures.append({weapons.location(row), encoded.reason});
            continue;
        }
        rows << row;
        entries.append({weapon.origin.entry, bytes});
    }
    const QString archive = QDir::toNativeSeparators(weapons.source());
    if (rows.isEmpty() || !check.mayWrite(weapons.record(rows.front()).origin, archive))
        return;
    DiskSnapshot disk;
    if (const ArchiveResult written =
            write_archive_entries(weapons.source(), entries, &disk, {}, &weapons.archiveMemo());
        !written) {
        for (const int row : rows)
            report.failures.append({weapons.location(row), written.reason});
        return;
    }
    // Every entry lives in the one file just replaced.
    for (int row = 0; row < weapons.size(); ++row)
        weapons.record(row).origin.disk = disk;
    for (const int row : rows)
        weapons.markSaved(row);
    report.written += static_cast<int>(rows.size());
}

} // namespace

QString SaveReport::failureText() const
{
    QStringList lines;
    for (const SaveFailure &failure : failures)
        lines << QStringLiteral("%1: %2").arg(failure.location, failure.reason);
    return lines.join(u'\n');
}

SaveReport save_all(WeaponCollection &weapons, const AskChangedOnDisk &ask)
{
    SaveReport report;
    ChangeCheck check(ask, report);
    if (weapons.isArchive())
        saveArchive(weapons, check, report);
    else
        saveFiles(weapons, check, report);
    return report;
}
