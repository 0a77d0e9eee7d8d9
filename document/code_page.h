#pragma once

#include <QByteArray>
#include <QString>

// Windows-1252, taken as a one-to-one map over all 256 byte values: the five bytes the code
// page leaves undefined stand for the C1 controls of the same number, so any byte string
// survives a decode and an encode (byteFor) unchanged.
namespace code_page
{

QString decode(QByteArrayView bytes);
bool canEncode(QChar c);
// The byte for c, or -1 when it has none.
int byteFor(QChar c);
// The bytes for text; false, with bytes unspecified, when some character has none.
bool encode(QStringView text, QByteArray &bytes);

} // namespace code_page
