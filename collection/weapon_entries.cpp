#include "collection/weapon_entries.h"

#include "document/weapon_file.h"

#include <algorithm>

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
