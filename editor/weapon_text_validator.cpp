#include "editor/weapon_text_validator.h"

#include "document/weapon_file.h"

#include <QLineEdit>
#include <algorithm>
#include <limits>

QValidator::State WeaponTextValidator::validate(QString &input, int &pos) const
{
    // Runs on every keystroke: a text that is all allowed is left alone without a copy.
    if (std::all_of(input.cbegin(), input.cend(), weapon_text_allows))
        return Acceptable;
    QString kept;
    kept.reserve(input.size());
    int keptPos = pos;
    for (qsizetype i = 0; i < input.size(); ++i) {
        if (weapon_text_allows(input[i]))
            kept.append(input[i]);
        else if (i < pos)
            --keptPos;
    }
    input = kept;
    pos = keptPos;
    return Acceptable;
}

void make_weapon_text_editor(QLineEdit *editor)
{
    editor->setValidator(new WeaponTextValidator(editor));
    // The default limit of 32767 characters would cut a longer token when it is shown.
    editor->setMaxLength(std::numeric_limits<int>::max());
}
