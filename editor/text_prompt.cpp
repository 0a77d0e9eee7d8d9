#include "editor/text_prompt.h"

#include <QInputDialog>

QString text_prompt(QWidget *owner, const QString &prompt, const QString &title)
{
    QInputDialog dialog(owner);
    dialog.setObjectName(QStringLiteral("TextPrompt"));
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setInputMode(QInputDialog::TextInput);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.textValue();
}
