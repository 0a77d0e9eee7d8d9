#pragma once

// Answers the modal windows a command brings up (file dialog, text prompts, message boxes) from
// a timer that runs inside their own event loops, so the command takes its real dialog path.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace modal_answer
{

using Answer = std::function<void(QWidget *)>;

// What a modal window was, to compare a command's whole conversation with the user in one go.
inline QString describe(QWidget *window)
{
    if (auto *prompt = qobject_cast<QInputDialog *>(window))
        return QStringLiteral("prompt %1: %2").arg(prompt->windowTitle(), prompt->labelText());
    if (qobject_cast<QMessageBox *>(window))
        return QStringLiteral("message");
    if (auto *files = qobject_cast<QFileDialog *>(window))
        return QStringLiteral("file dialog %1").arg(files->windowTitle());
    return QString::fromLatin1(window->metaObject()->className());
}

// Runs command and gives each modal window that comes up the next answer in turn. A window
// beyond the answers, or one an answer left open after a failed check, is rejected so that the
// test ends instead of waiting forever. Gives the descriptions of every window that came up.
inline QStringList run(const std::function<void()> &command, const QList<Answer> &answers = {})
{
    QStringList seen;
    QPointer<QWidget> last;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QPointer<QWidget> window = QApplication::activeModalWidget();
        if (!window || !window->isVisible() || window == last)
            return;
        last = window;
        seen << describe(window);
        if (seen.size() <= answers.size())
            answers[seen.size() - 1](window);
        const bool stray = seen.size() > answers.size() || QTest::currentTestFailed();
        if (window && window->isVisible() && stray) {
            if (auto *dialog = qobject_cast<QDialog *>(window.data()))
                dialog->reject();
            else
                window->close();
        }
    });
    poll.start();
    command();
    return seen;
}

inline Answer choose_file(const QString &path)
{
    return [path](QWidget *window) {
        auto *dialog = qobject_cast<QFileDialog *>(window);
        QVERIFY(dialog);
        QCOMPARE(dialog->objectName(), QStringLiteral("CommonDialog1Window"));
        // Typed into the name box, as selectFile() leaves the box alone while it has the focus.
        // A file still highlighted in the list would outrank the box, so the list is cleared
        // first, as a user's click into an empty part of it would.
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        auto *list = dialog->findChild<QAbstractItemView *>(QStringLiteral("listView"));
        QVERIFY(name && list);
        list->clearSelection();
        name->setText(path);
        static_cast<QDialog *>(dialog)->accept(); // the dialog's own accept, as its Open button
    };
}

inline Answer type_text(const QString &text)
{
    return [text](QWidget *window) {
        auto *prompt = qobject_cast<QInputDialog *>(window);
        QVERIFY(prompt);
        QCOMPARE(prompt->objectName(), QStringLiteral("TextPrompt"));
        QCOMPARE(prompt->textValue(), QString());
        prompt->setTextValue(text);
        prompt->accept();
    };
}

inline Answer cancel()
{
    return [](QWidget *window) {
        if (auto *dialog = qobject_cast<QDialog *>(window))
            dialog->reject();
    };
}

// Reads a message box's text into *text and dismisses it with its button.
inline Answer read_message(QString *text)
{
    return [text](QWidget *window) {
        auto *box = qobject_cast<QMessageBox *>(window);
        QVERIFY(box);
        *text = box->text();
        if (QAbstractButton *ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->accept();
    };
}

} // namespace modal_answer
