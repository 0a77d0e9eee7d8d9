#include "editor/weapon_text_validator.h"

#include "document/weapon_file.h"

#include <QLineEdit>
#include <QToolTip>
#include <algorithm>
#include <limits>

namespace
{

// "a backslash, a carriage return and the character U+4E2D", each kind named once.
QString refused_list(const QStringList &refused)
{
    if (refused.size() == 1)
        return refused.first();
    return QStringLiteral("%1 and %2")
        .arg(refused.mid(0, refused.size() - 1).join(u", "), refused.last());
}

} // namespace

QValidator::State WeaponTextValidator::validate(QString &input, int &pos) const
{
    // Runs on every keystroke: a text that is all allowed is left alone without a copy.
    if (std::all_of(input.cbegin(), input.cend(), weapon_text_allows))
        return Acceptable;
    QString kept;
    kept.reserve(input.size());
    QStringList refused;
    int keptPos = pos;
    for (qsizetype i = 0; i < input.size(); ++i) {
        if (weapon_text_allows(input[i])) {
            kept.append(input[i]);
            continue;
        }
        if (i < pos)
            --keptPos;
        // A character past U+FFFF is two halves, named once by its whole code.
        const qsizetype length = input[i].isHighSurrogate() && i + 1 < input.size() ? 2 : 1;
        if (const QString what = unwritable_part(QStringView(input).mid(i, length));
            !what.isEmpty() && !refused.contains(what))
            refused.append(what);
        if (length == 2 && i + 1 < pos)
            --keptPos;
        i += length - 1;
    }
    input = kept;
    pos = keptPos;
    tellRefused(refused);
    return Acceptable;
}

// Said at the box the user is typing into: the status bar is far from where they look.
void WeaponTextValidator::tellRefused(const QStringList &refused) const
{
    auto *box = qobject_cast<QWidget *>(parent());
    if (!box || refused.isEmpty())
        return;
    const QString text =
        QStringLiteral("Left out: %1. A weapon file cannot hold %2.")
            .arg(refused_list(refused),
                 refused.size() == 1 ? QStringLiteral("it") : QStringLiteral("them"));
    QToolTip::showText(box->mapToGlobal(QPoint(0, box->height())), text, box);
}

void make_weapon_text_editor(QLineEdit *editor)
{
    editor->setValidator(new WeaponTextValidator(editor));
    // The default limit of 32767 characters would cut a longer token when it is shown.
    editor->setMaxLength(std::numeric_limits<int>::max());
}
