#pragma once

#include <QMessageBox>

// The program's messages. File names, keys and values come from users and from files, so every
// message shows its text as typed: a key named <b>x</b> is never read as markup.
void show_warning(QWidget *owner, const QString &title, const QString &text);

// Asks with the buttons given, some of them renamed; Esc and Enter answer escape, the safe
// one. Gives back the button chosen.
QMessageBox::StandardButton
ask(QWidget *owner, const QString &title, const QString &text, QMessageBox::StandardButtons buttons,
    QMessageBox::StandardButton escape,
    std::initializer_list<std::pair<QMessageBox::StandardButton, QString>> renamed = {});
