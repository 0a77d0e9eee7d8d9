#pragma once

#include <QString>
#include <optional>

class QWidget;

// A modal prompt with one empty text field. Gives back the typed text, or the empty text when
// the user cancels.
QString text_prompt(QWidget *owner, const QString &prompt, const QString &title);

// The same prompt starting on text. Empty when the user cancels; the typed text, which may be
// empty, otherwise.
std::optional<QString> ask_text(QWidget *owner, const QString &prompt, const QString &title,
                                const QString &text);
