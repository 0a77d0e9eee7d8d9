#pragma once

#include <QValidator>

class QLineEdit;

// Keeps out of a node's text what the weapon file cannot hold as one token: a backslash
// would split it, a carriage return would end the line, and some characters have no byte in
// the file's code page. Typed, such a character does nothing; pasted, it is dropped.
class WeaponTextValidator : public QValidator
{
    Q_OBJECT

public:
    using QValidator::QValidator;

    State validate(QString &input, int &pos) const override;
};

// Fits a line edit for node texts: the validator, and room for a token of any length.
void make_weapon_text_editor(QLineEdit *editor);
