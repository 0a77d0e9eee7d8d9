#include "collection/weapon_entries.h"

#include "document/weapon_file.h"

#include <algorithm>

namespace
{

bool loadsAsWeapon(QByteArrayView line)
{
    std::vector<quint32> starts;
    QString reason;
    return classify_weapon_line(line, starts, reason) == WeaponLine::Weapon;
}

// The part of a first line that runs on past what was read which holds only whole pairs: up to
// the last backslash, less a key whose value is cut off. Empty when that is not even one pair.
QByteArrayView wholePairs(QByteArrayView start)
{
    qsizetype cut = start.lastIndexOf('\\');
    if (cut > 0 && start.first(cut).count('\\') % 2 == 1)
        cut = start.first(cut).lastIndexOf('\\');
    return cut > 0 && start.first(cut).count('\\') >= 2 ? start.first(cut) : QByteArrayView();
}

QString tooLarge(ArchiveReader &reader, const ArchiveEntry &entry)
{
    QByteArray none;
    return reader.read(entry, kMaxWeaponFileBytes, none).reason;
}

} // namespace

// The loader takes any byte, but a text line never holds control characters other than a tab
// or a line feed, while the first "line" of a picture or a sound almost always does. Without
// this, about one binary entry in six would happen to split into a header and pairs.
bool is_text_line(QByteArrayView line)
{
    return std::none_of(line.begin(), line.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 && byte != '\t' && byte != '\n';
    });
}

WeaponLine classify_weapon_line(QByteArrayView line, std::vector<quint32> &starts, QString &reason)
{
    if (!is_text_line(line) || !line.contains('\\'))
        return WeaponLine::Other;
    if (const WeaponFileResult split = split_weapon_line(line, starts); !split) {
        reason = split.reason;
        return WeaponLine::Broken;
    }
    return starts.size() >= 2 ? WeaponLine::Weapon : WeaponLine::Other;
}

EntryKind weapon_entry_kind(ArchiveReader &reader, const ArchiveEntry &entry, QString *reason)
{
    QByteArray bytes;
    for (qint64 wanted = kWeaponCheckBytes;; wanted *= 4) {
        const ArchiveResult read = reader.readStart(entry, wanted, bytes);
        if (!read) {
            if (reason)
                *reason = read.reason;
            return EntryKind::Unopenable;
        }
        const qsizetype cr = bytes.indexOf('\r');
        const bool whole = cr >= 0 || bytes.size() == entry.size;
        const QByteArrayView line =
            whole ? QByteArrayView(bytes).first(cr >= 0 ? cr : bytes.size()) : wholePairs(bytes);
        if (!line.isEmpty() || whole || !is_text_line(bytes) || wanted > kMaxWeaponFileBytes) {
            if (!loadsAsWeapon(line))
                return EntryKind::Other;
            if (entry.size <= kMaxWeaponFileBytes)
                return EntryKind::Weapon;
            if (reason)
                *reason = tooLarge(reader, entry);
            return EntryKind::Unopenable;
        }
    }
}

WeaponEntries find_weapon_entries(ArchiveReader &reader, const ArchiveProgress &progress)
{
    WeaponEntries found;
    const QList<ArchiveEntry> &entries = reader.entries();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (progress && !progress(i, entries.size())) {
            found = {};
            found.cancelled = true;
            return found;
        }
        QString reason;
        switch (weapon_entry_kind(reader, entries[i], &reason)) {
        case EntryKind::Weapon:
            found.weapons << entries[i];
            break;
        case EntryKind::Unopenable:
            found.unopenable << reason;
            break;
        case EntryKind::Other:
            break;
        }
    }
    return found;
}
