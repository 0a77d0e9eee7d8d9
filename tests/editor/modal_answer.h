#pragma once

// Modal windows answered from a timer inside their own event loops: the real dialog paths run.

#include "window_driver.h"

#include "editor/tool_bar.h"

#include <QtWidgets>

namespace modal_answer
{

// Runs command, typing each answer in turn into a prompt or the file dialog's name box; a window
// beyond the answers is rejected, so that a test fails instead of hanging. Gives each window's
// title, a message's text after it.
template <class Command> QStringList run(const QStringList &answers, Command command)
{
    QStringList seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *window = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!window || !window->isVisible())
            return;
        auto *box = qobject_cast<QMessageBox *>(window);
        seen << window->windowTitle() + (box ? ": " + box->text() : QString());
        auto *prompt = qobject_cast<QInputDialog *>(window);
        auto *name = window->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (seen.size() <= answers.size() && (prompt || name)) {
            // A file still highlighted in the list would outrank the typed name.
            if (auto *list = window->findChild<QAbstractItemView *>(QStringLiteral("listView")))
                list->clearSelection();
            const QString &text = answers[seen.size() - 1];
            prompt ? prompt->setTextValue(text) : name->setText(text);
            window->accept();
        }
        if (window->isVisible())
            window->reject();
    });
    poll.start(5);
    command();
    return seen;
}

// The main window on screen with bytes written to path and opened through the Open dialog.
struct Window {
    QTemporaryDir dir;
    Form1 form;
    QString path = dir.filePath(QStringLiteral("weapon.txt"));

    explicit Window(const QByteArray &bytes)
    {
        window_driver::show_window(form);
        if (QFile file(path); file.open(QIODevice::WriteOnly))
            file.write(bytes);
        tool(1, {path});
    }

    // Separators have no button; their clicks come as the tool bar reports them.
    QStringList tool(int index, const QStringList &answers = {})
    {
        auto *bar = window_driver::control<ToolBar>(form, "Toolbar1");
        return run(answers, [&] {
            if (QAction *button = bar->button(index))
                QTest::mouseClick(bar->widgetForAction(button), Qt::LeftButton);
            else
                emit bar->ButtonClick(index);
        });
    }
};

} // namespace modal_answer
