#include "collection/weapon_entries.h"

#include "document/weapon_file.h"

#include <algorithm>
#include <optional>

namespace
{

// The entry's first line, unpacking no more than its start unless the line runs on past it.
std::optional<QByteArray> firstLine(ArchiveReader &reader, const ArchiveEntry &entry)
{
    QByteArray bytes;
    if (!reader.readStart(entry, kWeaponCheckBytes, bytes))
        return std::nullopt;
    qsizetype cr = bytes.indexOf('\r');
    if (cr < 0 && bytes.size() < entry.size) {
        if (!is_text_line(bytes) || !reader.read(entry, kMaxWeaponFileBytes, bytes))
            return std::nullopt;
        cr = bytes.indexOf('\r');
    }
    if (cr >= 0)
        bytes.truncate(cr);
    return bytes;
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

WeaponLine classify_weapon_line(QByteArrayView line, WeaponTree &tree, QString &reason)
{
    if (!is_text_line(line) || !line.contains('\\'))
        return WeaponLine::Other;
    if (const WeaponFileResult built = build_weapon_tree(tree, line); !built) {
        reason = built.reason;
        return WeaponLine::Broken;
    }
    return tree.count() >= 3 ? WeaponLine::Weapon : WeaponLine::Other;
}

bool is_weapon_entry(ArchiveReader &reader, const ArchiveEntry &entry)
{
    const std::optional<QByteArray> line = firstLine(reader, entry);
    if (!line)
        return false;
    WeaponTree scratch;
    QString reason;
    return classify_weapon_line(*line, scratch, reason) == WeaponLine::Weapon;
}

QStringList weapon_entry_names(ArchiveReader &reader)
{
    QStringList names;
    for (const ArchiveEntry &entry : reader.entries()) {
        if (is_weapon_entry(reader, entry))
            names << entry.name;
    }
    return names;
}
