#pragma once

#include <QByteArrayView>
#include <QString>

// An entry's name as the user should read it. Under the UTF-8 flag the bytes must be UTF-8;
// without it they are UTF-8 where they read as such and the old DOS code page 437 otherwise,
// which is what zip tools wrote before UTF-8. False when the flag promises UTF-8 and the bytes
// break it: the name is then shown with replacement characters and cannot name a file.
bool decode_entry_name(QByteArrayView raw, bool utf8Flag, QString &name);
