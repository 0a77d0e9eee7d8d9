#pragma once

#include <QByteArray>
#include <QString>

// Windows-1252, taken as a one-to-one map over all 256 byte values: the five bytes the code
// page leaves undefined stand for the C1 controls of the same number, so any byte string
// survives a decode and an encode unchanged.
namespace code_page
{

QString decode(QByteArrayView bytes);
// False when some character has no byte; bytes is then unspecified.
bool encode(QStringView text, QByteArray &bytes);
bool canEncode(QChar c);
// The byte for c, or -1 when it has none.
int byteFor(QChar c);
// Index of the first character that has no byte, or -1.
qsizetype firstUnencodable(QStringView text);

} // namespace code_page
