#include "ui/message_box.h"

#include <QAbstractButton>

namespace
{

// A screen reader reads the buttons in the order they were made, while Tab follows the order
// the platform lays them out in: the buttons are restacked to the Tab order, which they do not
// overlap to notice.
void read_in_tab_order(QMessageBox &box)
{
    const QList<QAbstractButton *> buttons = box.buttons();
    QWidget *at = box.nextInFocusChain();
    for (qsizetype seen = 0; at != &box && seen < buttons.size(); at = at->nextInFocusChain()) {
        if (auto *button = qobject_cast<QAbstractButton *>(at); buttons.contains(button)) {
            button->raise();
            ++seen;
        }
    }
}

using Renamed = std::initializer_list<std::pair<QMessageBox::StandardButton, QString>>;

QMessageBox::StandardButton run(QWidget *owner, QMessageBox::Icon icon, const QString &title,
                                const QString &text, QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton escape, Renamed renamed = {})
{
    QMessageBox box(icon, title, text, buttons, owner);
    box.setTextFormat(Qt::PlainText);
    for (const auto &[button, caption] : renamed)
        box.button(button)->setText(caption);
    if (escape != QMessageBox::NoButton) {
        box.setEscapeButton(escape);
        // Enter answers as Esc does: a key pressed in haste must never throw work away.
        box.setDefaultButton(escape);
    }
    read_in_tab_order(box);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

void show_warning(QWidget *owner, const QString &title, const QString &text)
{
    run(owner, QMessageBox::Warning, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

QMessageBox::StandardButton ask(QWidget *owner, const QString &title, const QString &text,
                                QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton escape, Renamed renamed)
{
    return run(owner, QMessageBox::Question, title, text, buttons, escape, renamed);
}
