#include "editor/weapon_text_validator.h"

#include "document/code_page.h"

#include <QLineEdit>
#include <limits>

bool WeaponTextValidator::isAllowed(QChar c)
{
    return c != u'\\' && c != u'\r' && code_page::canEncode(c);
}

QValidator::State WeaponTextValidator::validate(QString &input, int &pos) const
{
    QString kept;
    kept.reserve(input.size());
    int keptPos = pos;
    for (qsizetype i = 0; i < input.size(); ++i) {
        if (isAllowed(input[i]))
            kept.append(input[i]);
        else if (i < pos)
            --keptPos;
    }
    if (kept.size() != input.size()) {
        input = kept;
        pos = keptPos;
    }
    return Acceptable;
}

void make_weapon_text_editor(QLineEdit *editor)
{
    editor->setValidator(new WeaponTextValidator(editor));
    // The default limit of 32767 characters would cut a longer token when it is shown.
    editor->setMaxLength(std::numeric_limits<int>::max());
}
