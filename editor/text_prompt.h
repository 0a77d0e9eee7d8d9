#pragma once

#include <QString>

class QWidget;

// A modal prompt with one empty text field. Gives back the typed text, or the empty text when
// the user cancels.
QString text_prompt(QWidget *owner, const QString &prompt, const QString &title);
