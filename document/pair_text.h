#pragma once

#include "document/weapon_tree.h"

#include <QList>
#include <QString>

// Pairs as plain text, one "key\value" a line: what Copy Pairs puts on the clipboard and Paste
// Pairs reads back, so that another Armsmith or a text editor can take them.
QString pairs_text(const QList<WeaponPair> &pairs);

// Reads text back into pairs. Lines may end in LF or CR LF; blank lines are skipped; a key
// runs up to a line's first backslash. Gives the reason, in plain words, when the text holds
// no pairs or a line that is not one; pairs is then empty.
QString parse_pairs(const QString &text, QList<WeaponPair> &pairs);
