#include "document/pair_text.h"

QString pairs_text(const QList<WeaponPair> &pairs)
{
    QString text;
    for (const WeaponPair &pair : pairs)
        text += pair.key + u'\\' + pair.value + u'\n';
    return text;
}

QString parse_pairs(const QString &text, QList<WeaponPair> &pairs)
{
    pairs.clear();
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QStringView line = lines[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        const qsizetype cut = line.indexOf(u'\\');
        if (cut < 0) {
            pairs.clear();
            return QStringLiteral("Line %1 of the clipboard is not a key and a value "
                                  "separated by a backslash.")
                .arg(i + 1);
        }
        pairs.append({line.left(cut).toString(), line.mid(cut + 1).toString()});
    }
    if (pairs.isEmpty())
        return QStringLiteral("The clipboard holds no pairs: copy some with Copy Pairs, or write "
                              "them as key\\value, one a line.");
    return {};
}
