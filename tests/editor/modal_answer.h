#pragma once

// Runs the window's commands and answers the modal windows they bring up (file dialog, prompts,
// messages) from a timer inside their own event loops, so each takes its real dialog path.

#include "window_driver.h"

#include "editor/tool_bar.h"

#include <QtWidgets>

namespace modal_answer
{

// As an answer, the Escape character alone: the window is dismissed.
inline const QString kEscape = QStringLiteral("\x1b");

// Runs command and gives each modal window the next answer in turn, typed into a prompt or as a
// path into the file dialog, and accepted. A window still up after that (one beyond the answers,
// or one its answer did not fit) is dismissed as Escape would, so that a test fails instead of
// waiting forever. Gives the whole conversation to compare in one go: each window's class and
// title, the file the file dialog offers, a message's text.
template <class Command> QStringList run(const QStringList &answers, Command command)
{
    QStringList seen;
    QPointer<QWidget> last;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QPointer<QWidget> window = QApplication::activeModalWidget();
        if (!window || !window->isVisible() || window == last)
            return;
        last = window;
        seen << window->metaObject()->className() + (' ' + window->windowTitle());
        auto *files = qobject_cast<QFileDialog *>(window);
        if (auto *box = qobject_cast<QMessageBox *>(window))
            seen.last() += ": " + box->text();
        if (files && QFileInfo(files->selectedFiles().value(0)).isFile())
            seen.last() += " on " + files->selectedFiles().value(0);
        const QString text = answers.value(seen.size() - 1, kEscape);
        auto *name = window->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        auto *list = window->findChild<QAbstractItemView *>(QStringLiteral("listView"));
        if (auto *prompt = qobject_cast<QInputDialog *>(window); prompt && text != kEscape) {
            prompt->setTextValue(text);
            prompt->accept();
        } else if (files && name && list && text != kEscape) {
            // Into the name box, as selectFile() leaves the box alone while it has the focus. A
            // file still highlighted in the list would outrank the box, so the list is cleared
            // first, as a user's click on blank space in it would.
            list->clearSelection();
            name->setText(text);
            static_cast<QDialog *>(files)->accept(); // QFileDialog's own, as its Open button
        }
        if (auto *dialog = qobject_cast<QDialog *>(window); dialog && dialog->isVisible())
            dialog->reject();
    });
    poll.start(5);
    command();
    return seen;
}

// A weapon line with the header H and the pairs k1\v1, k2\v2, ...
inline QByteArray weapon_line(int pairs)
{
    QByteArray line = "H";
    for (int i = 1; i <= pairs; ++i)
        line += "\\k" + QByteArray::number(i) + "\\v" + QByteArray::number(i);
    return line;
}

// The main window on screen, with a folder for its files and, unless bytes is empty, those
// bytes opened as a weapon file through the Open dialog.
struct Window {
    QTemporaryDir dir;
    Form1 form;
    TreeView *tv = window_driver::tree_view(form);
    QLineEdit *text2 = window_driver::control<QLineEdit>(form, "Text2");
    QString path;

    explicit Window(const QByteArray &bytes = {})
    {
        window_driver::show_window(form);
        if (!bytes.isEmpty())
            menu("mnuOpen", {path = write("weapon.txt", bytes)});
    }

    QString write(const QString &name, const QByteArray &bytes) const
    {
        QFile file(dir.filePath(name));
        const bool written = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
        return written ? file.fileName() : QString();
    }

    QStringList menu(const char *name, const QStringList &answers = {})
    {
        return run(answers, [&] { form.findChild<QAction *>(QLatin1String(name))->trigger(); });
    }

    // A separator's position has no button to click; its click comes as the tool bar reports it.
    QStringList tool(int index, const QStringList &answers = {})
    {
        auto *bar = form.findChild<ToolBar *>(QStringLiteral("Toolbar1"));
        return run(answers, [&] {
            if (QAction *button = bar->button(index))
                QTest::mouseClick(bar->widgetForAction(button), Qt::LeftButton);
            else
                emit bar->ButtonClick(index);
        });
    }
};

} // namespace modal_answer
