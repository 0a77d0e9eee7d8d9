#include "archive/zip_names.h"

#include "archive/zip_archive.h"

#include <QStringDecoder>

#include <algorithm>

namespace
{

constexpr char16_t kCodePage437High[] =
    u"\u00C7\u00FC\u00E9\u00E2\u00E4\u00E0\u00E5\u00E7\u00EA\u00EB\u00E8\u00EF\u00EE\u00EC\u00C4"
    u"\u00C5\u00C9\u00E6\u00C6\u00F4\u00F6\u00F2\u00FB\u00F9\u00FF\u00D6\u00DC\u00A2\u00A3\u00A5"
    u"\u20A7\u0192\u00E1\u00ED\u00F3\u00FA\u00F1\u00D1\u00AA\u00BA\u00BF\u2310\u00AC\u00BD\u00BC"
    u"\u00A1\u00AB\u00BB\u2591\u2592\u2593\u2502\u2524\u2561\u2562\u2556\u2555\u2563\u2551\u2557"
    u"\u255D\u255C\u255B\u2510\u2514\u2534\u252C\u251C\u2500\u253C\u255E\u255F\u255A\u2554\u2569"
    u"\u2566\u2560\u2550\u256C\u2567\u2568\u2564\u2565\u2559\u2558\u2552\u2553\u256B\u256A\u2518"
    u"\u250C\u2588\u2584\u258C\u2590\u2580\u03B1\u00DF\u0393\u03C0\u03A3\u03C3\u00B5\u03C4\u03A6"
    u"\u0398\u03A9\u03B4\u221E\u03C6\u03B5\u2229\u2261\u00B1\u2265\u2264\u2320\u2321\u00F7\u2248"
    u"\u00B0\u2219\u00B7\u221A\u207F\u00B2\u25A0\u00A0";
static_assert(std::size(kCodePage437High) == 129);

QString fromCodePage437(QByteArrayView raw)
{
    QString name;
    name.reserve(raw.size());
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        name += byte < 0x80 ? QChar(byte) : QChar(kCodePage437High[byte - 0x80]);
    }
    return name;
}

bool strictUtf8(QByteArrayView raw, QString &name)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    name = decoder.decode(raw);
    return !decoder.hasError();
}

} // namespace

bool decode_entry_name(QByteArrayView raw, bool utf8Flag, QString &name)
{
    // Most names are plain ASCII, which every reading of them gives alike; a decoder is costly
    // to set up for each of thousands of names.
    if (std::all_of(raw.begin(), raw.end(), [](char c) { return c >= 0; })) {
        name = QString::fromLatin1(raw);
        return true;
    }
    if (strictUtf8(raw, name))
        return true;
    if (utf8Flag)
        return false;
    name = fromCodePage437(raw);
    return true;
}

bool is_unsafe_entry_name(const QString &name)
{
    const auto separator = [&](qsizetype i) { return name[i] == u'/' || name[i] == u'\\'; };
    if (name.isEmpty() || separator(0))
        return true;
    if (name.size() >= 2 && name[1] == u':' && name[0].isLetter())
        return true;
    for (qsizetype at = name.indexOf(QLatin1String("..")); at >= 0;
         at = name.indexOf(QLatin1String(".."), at + 1)) {
        const bool stepStarts = at == 0 || separator(at - 1);
        const bool stepEnds = at + 2 == name.size() || separator(at + 2);
        if (stepStarts && stepEnds)
            return true;
    }
    return false;
}
