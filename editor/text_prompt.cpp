#include "editor/text_prompt.h"

#include <QInputDialog>

QString text_prompt(QWidget *owner, const QString &prompt, const QString &title)
{
    return ask_text(owner, prompt, title, {}).value_or(QString());
}

std::optional<QString> ask_text(QWidget *owner, const QString &prompt, const QString &title,
                                const QString &text)
{
    QInputDialog dialog(owner);
    dialog.setObjectName(QStringLiteral("TextPrompt"));
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(text);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}
