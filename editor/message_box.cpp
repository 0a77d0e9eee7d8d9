#include "editor/message_box.h"

namespace
{

QMessageBox::StandardButton run(QWidget *owner, QMessageBox::Icon icon, const QString &title,
                                const QString &text, QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton escape)
{
    QMessageBox box(icon, title, text, buttons, owner);
    box.setTextFormat(Qt::PlainText);
    if (escape != QMessageBox::NoButton)
        box.setEscapeButton(escape);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

void show_warning(QWidget *owner, const QString &title, const QString &text)
{
    run(owner, QMessageBox::Warning, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

QMessageBox::StandardButton ask(QWidget *owner, const QString &title, const QString &text,
                                QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton escape)
{
    return run(owner, QMessageBox::Question, title, text, buttons, escape);
}
