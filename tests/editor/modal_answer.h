#pragma once

// Modal windows answered from a timer inside their own event loops: the real dialog paths run.

#include "editor/tool_bar.h"
#include "window_driver.h"
#include <QtWidgets>

// Types each answer in turn into a prompt or the file dialog's name box, or clicks the message
// button (or presses "Enter" on it) or chooses the archive entry it names; any other window is
// rejected, so that a test fails instead of hanging. Gives each window's title, a message's text.
template <class Command> QStringList answer_modals(const QStringList &answers, Command command)
{
    QStringList seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *window = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!window || !window->isVisible())
            return;
        auto *box = qobject_cast<QMessageBox *>(window);
        // Messages show file names, keys and values, which must never be read as markup.
        const bool plain = !box || box->textFormat() == Qt::PlainText;
        seen << (plain ? "" : "(rich) ") + window->windowTitle() + (box ? ": " + box->text() : "");
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
        // The archive chooser: the row named by the answer.
        auto *entries = window->findChild<QAbstractItemView *>(QStringLiteral("ArchiveEntries"));
        for (int row = 0; entries && row < entries->model()->rowCount(); ++row) {
            const QModelIndex index = entries->model()->index(row, 0);
            if (seen.size() <= answers.size() && index.data() == answers[seen.size() - 1]) {
                entries->setCurrentIndex(index);
                window->accept();
            }
        }
        // "Enter": the key, on whichever button the box holds as its default.
        if (box && seen.size() <= answers.size() && answers[seen.size() - 1] == "Enter")
            QTest::keyClick(box, Qt::Key_Return);
        for (QAbstractButton *button : box ? box->buttons() : QList<QAbstractButton *>()) {
            if (seen.size() <= answers.size() &&
                button->text().remove(u'&') == answers[seen.size() - 1])
                button->click();
        }
        if (window->isVisible())
            window->reject();
    });
    poll.start(5);
    command();
    return seen;
}

// The main window on screen with bytes written to path and opened through the Open dialog.
struct OpenWindow {
    QTemporaryDir dir;
    Form1 form;
    QString path = dir.filePath(QStringLiteral("weapon.txt"));
    explicit OpenWindow(const QByteArray &bytes)
    {
        window_driver::show_window(form);
        if (QFile file(path); file.open(QIODevice::WriteOnly))
            file.write(bytes);
        tool(1, {path});
    }

    // A separator has no button; its click comes as the tool bar reports one.
    QStringList tool(int index, const QStringList &answers = {})
    {
        auto *bar = window_driver::control<ToolBar>(form, "Toolbar1");
        QAction *button = bar->button(index);
        return answer_modals(answers, [&] {
            button ? QTest::mouseClick(bar->widgetForAction(button), Qt::LeftButton)
                   : bar->ButtonClick(index);
        });
    }
};
