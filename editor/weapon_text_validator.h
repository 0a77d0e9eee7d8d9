#pragma once

#include <QValidator>

class QLineEdit;

// Keeps out of a node's text what the weapon file cannot hold as one token: a backslash
// would split it, a carriage return would end the line, and some characters have no byte in
// the file's code page. Such a character, typed or pasted, is left out, and a tool tip at the box
// names what was left out and why.
class WeaponTextValidator : public QValidator
{
    Q_OBJECT

public:
    using QValidator::QValidator;

    State validate(QString &input, int &pos) const override;

private:
    void tellRefused(const QStringList &refused) const;
};

// Fits a line edit for node texts: the validator, and room for a token of any length.
void make_weapon_text_editor(QLineEdit *editor);
