#include "about/form2.h"
#include "about/usage_text.h"
#include "document/weapon_file.h"
#include "editor/form1.h"
#include "editor/system_colors.h"
#include "editor/twips.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace
{

using Answer = std::function<void(QDialog *)>;

// The usage text as the box shows it: one paragraph a line.
QString displayed_usage()
{
    return QString::fromLatin1(kUsageText).replace("\r\n", "\n");
}

QRect pixels(int left, int top, int width, int height)
{
    return QRect(twips_to_pixels(left), twips_to_pixels(top), twips_to_pixels(width),
                 twips_to_pixels(height));
}

template <class Control> Control *control(QDialog *window, const char *name)
{
    return window->findChild<Control *>(QString::fromLatin1(name));
}

// The main window on screen, answering Help > About.
struct MainWindow {
    Form1 form;

    MainWindow()
    {
        form.setGeometry(100, 100, 600, 450);
        form.show();
    }

    // Chooses Help > About and runs `answer` inside the About window's modal loop once it is
    // up, as a user at the keyboard would. The answer must close it; after a failed check it
    // is closed here so that the test ends instead of waiting forever in the menu command.
    bool show_about(const Answer &answer)
    {
        auto *command = form.findChild<QAction *>(QStringLiteral("mnuAbout"));
        if (!command)
            return false;
        bool answered = false;
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QPointer<QDialog> shown = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!shown || !shown->isVisible())
                return;
            poll.stop();
            answered = true;
            answer(shown);
            if (shown && shown->isVisible() && QTest::currentTestFailed())
                shown->close();
        });
        poll.start();
        command->trigger();
        return answered;
    }
};

// What the user sees of the document in the main window.
QString document_view(Form1 &form)
{
    QString view = form.openPath() + '\n';
    const WeaponTree &tree = form.tree();
    for (NodeIndex index = 1; index <= tree.count(); ++index)
        view += QString("%1 %2%3\n")
                    .arg(tree.text(index), tree.expanded(index) ? "+" : "-",
                         tree.selected() == index ? " selected" : "");
    return view + form.findChild<QLineEdit *>(QStringLiteral("Text2"))->text();
}

void close_with_button(QDialog *window)
{
    QTest::mouseClick(control<QPushButton>(window, "Command1"), Qt::LeftButton);
}

} // namespace

class TestAbout : public QObject
{
    Q_OBJECT

private slots:
    void usage_text_is_kept_exactly()
    {
        const QString text = QString::fromLatin1(kUsageText);
        QCOMPARE(text.size(), 454);
        QCOMPARE(text.count('\r'), 9);
        QStringList lines = text.split("\r\n");
        QCOMPARE(lines.size(), 10);
        QCOMPARE(lines.takeLast(), QString()); // the last line is ended too
        QList<int> ending_in_blank;
        for (int line = 0; line < lines.size(); ++line) {
            QVERIFY(!lines[line].contains('\n'));
            if (lines[line].endsWith(' '))
                ending_in_blank << line + 1;
        }
        QCOMPARE(ending_in_blank, QList<int>({1, 2, 3, 5, 6, 8}));
    }

    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("picture") << "Picture1"
                                 << "" << pixels(180, 120, 615, 555);
        QTest::newRow("title") << "Label1"
                               << "Armsmith " << pixels(960, 180, 3135, 375);
        QTest::newRow("version") << "Label2"
                                 << "v1.0" << pixels(2580, 240, 795, 195);
        QTest::newRow("usage") << "Text1" << displayed_usage() << pixels(300, 960, 5895, 2115);
        QTest::newRow("close") << "Command1"
                               << "Close" << pixels(5100, 3240, 1095, 375);
        QTest::newRow("credit") << "Label3"
                                << "By the Armsmith developers" << pixels(300, 3180, 2115, 255);
        QTest::newRow("web address")
            << "Label4"
            << "https://armsmith.example.org" << pixels(300, 3420, 3015, 195);
    }
    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QRect, geometry);
        MainWindow main;
        QVERIFY(main.show_about([&](QDialog *window) {
            auto *shown = window->findChild<QWidget *>(name);
            QVERIFY(shown);
            QCOMPARE(shown->pos(), geometry.topLeft());
            QCOMPARE(shown->height(), geometry.height());
            // A label may grow to the right to show its whole text; nothing else changes size.
            if (qobject_cast<QLabel *>(shown)) {
                QVERIFY(shown->width() >= geometry.width());
                QVERIFY(shown->width() >= shown->sizeHint().width());
            } else {
                QCOMPARE(shown->width(), geometry.width());
            }
            if (auto *box = qobject_cast<QPlainTextEdit *>(shown))
                QCOMPARE(box->toPlainText(), text);
            else
                QCOMPARE(shown->property("text").toString(), text);
            close_with_button(window);
        }));
    }

    void window_is_fixed_modal_and_centred()
    {
        MainWindow main;
        QVERIFY(main.show_about([&](QDialog *window) {
            QCOMPARE(window->objectName(), "Form2");
            QCOMPARE(window->windowTitle(), "About Armsmith");
            QCOMPARE(window->parentWidget(), &main.form);
            QVERIFY(window->isModal());
            const QSize client(twips_to_pixels(6555), twips_to_pixels(3795));
            QCOMPARE(window->size(), client);
            QCOMPARE(window->minimumSize(), client);
            QCOMPARE(window->maximumSize(), client);
            const Qt::WindowFlags flags = window->windowFlags();
            QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
            QVERIFY(flags & Qt::WindowCloseButtonHint);
            const QPoint offset =
                window->frameGeometry().center() - main.form.frameGeometry().center();
            QVERIFY(offset.manhattanLength() <= 2);
            close_with_button(window);
        }));
    }

    void appearance()
    {
        MainWindow main;
        QVERIFY(main.show_about([&](QDialog *window) {
            const QFont title = control<QLabel>(window, "Label1")->font();
            QVERIFY(title.bold());
            QCOMPARE(title.pointSize(), 12);
            for (const char *name : {"Label1", "Label2", "Label3", "Label4"}) {
                auto *label = control<QLabel>(window, name);
                QVERIFY2(!label->autoFillBackground(), name);
                QVERIFY2(label->alignment() & Qt::AlignLeft, name);
                QCOMPARE(label->textFormat(), Qt::PlainText); // the address is no link
            }
            auto *usage = control<QPlainTextEdit>(window, "Text1");
            QVERIFY(usage->verticalScrollBar()->isVisible());
            QVERIFY(!usage->horizontalScrollBar()->isVisible());
            const QImage painted = usage->viewport()->grab().toImage();
            QCOMPARE(painted.pixelColor(painted.width() - 2, painted.height() - 2),
                     system_color(kButtonFace));
            auto *close = control<QPushButton>(window, "Command1");
            QVERIFY(!close->isDefault() && !close->autoDefault());
            close_with_button(window);
        }));
    }

    void picture()
    {
        MainWindow main;
        QVERIFY(main.show_about([&](QDialog *window) {
            auto *picture = control<QLabel>(window, "Picture1");
            QCOMPARE(picture->frameWidth(), 0);
            QCOMPARE(picture->pixmap().size(), QSize(32, 32));
            close_with_button(window);
        }));
    }

    void tab_order()
    {
        MainWindow main;
        QVERIFY(main.show_about([&](QDialog *window) {
            auto *usage = control<QPlainTextEdit>(window, "Text1");
            auto *close = control<QPushButton>(window, "Command1");
            QTRY_COMPARE(window->focusWidget(), usage);
            QTest::keyClick(usage, Qt::Key_Tab);
            QCOMPARE(window->focusWidget(), close);
            QTest::keyClick(close, Qt::Key_Tab);
            QCOMPARE(window->focusWidget(), usage);
            close_with_button(window);
        }));
    }

    void keys_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("closes");
        const Qt::KeyboardModifiers none = Qt::NoModifier;
        QTest::newRow("Esc in usage text") << "Text1" << int(Qt::Key_Escape) << none << false;
        QTest::newRow("Esc on Close") << "Command1" << int(Qt::Key_Escape) << none << false;
        QTest::newRow("Enter in usage text") << "Text1" << int(Qt::Key_Return) << none << false;
        QTest::newRow("keypad Enter in usage text")
            << "Text1" << int(Qt::Key_Enter) << Qt::KeyboardModifiers(Qt::KeypadModifier) << false;
        QTest::newRow("Enter on Close") << "Command1" << int(Qt::Key_Return) << none << true;
        QTest::newRow("keypad Enter on Close") << "Command1" << int(Qt::Key_Enter)
                                               << Qt::KeyboardModifiers(Qt::KeypadModifier) << true;
        QTest::newRow("Space on Close") << "Command1" << int(Qt::Key_Space) << none << true;
    }
    void keys()
    {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, closes);
        MainWindow main;
        QVERIFY(main.show_about([&](QDialog *window) {
            auto *target = window->findChild<QWidget *>(focus);
            target->setFocus();
            QTest::keyClick(target, Qt::Key(key), modifiers);
            QCOMPARE(window->isVisible(), !closes);
            if (window->isVisible())
                close_with_button(window);
        }));
    }

    void closing_destroys_the_window_data()
    {
        QTest::addColumn<bool>("close_box");
        QTest::newRow("Close button") << false;
        QTest::newRow("close box") << true;
    }
    void closing_destroys_the_window()
    {
        QFETCH(bool, close_box);
        MainWindow main;
        QPointer<QDialog> shown;
        QVERIFY(main.show_about([&](QDialog *window) {
            shown = window;
            if (close_box)
                window->close();
            else
                close_with_button(window);
        }));
        QVERIFY(!shown);
        QVERIFY(main.form.isVisible());
    }

    void main_window_is_left_as_it_was()
    {
        MainWindow main;
        QVERIFY(build_weapon_tree(main.form.tree(), "Pistol\\damage\\12\\range\\300"));
        main.form.setOpenPath(QStringLiteral("/weapons/pistol.txt"));
        main.form.tree().nodes().Item(5)->setSelected();
        const QString before = document_view(main.form);
        QVERIFY(main.show_about([&](QDialog *window) { close_with_button(window); }));
        QCOMPARE(document_view(main.form), before);
    }

    void second_showing_starts_afresh()
    {
        MainWindow main;
        QPointer<QDialog> first;
        QVERIFY(main.show_about([&](QDialog *window) {
            first = window;
            auto *usage = control<QPlainTextEdit>(window, "Text1");
            usage->setFocus();
            QTest::keyClick(usage, Qt::Key_End, Qt::ControlModifier);
            QTest::keyClick(usage, Qt::Key_Up, Qt::ShiftModifier);
            QVERIFY(usage->verticalScrollBar()->value() > 0);
            QVERIFY(usage->textCursor().hasSelection());
            close_with_button(window);
        }));
        QVERIFY(main.show_about([&](QDialog *window) {
            QVERIFY(!first);
            auto *usage = control<QPlainTextEdit>(window, "Text1");
            QCOMPARE(usage->verticalScrollBar()->value(), 0);
            QVERIFY(!usage->textCursor().hasSelection());
            close_with_button(window);
        }));
    }

    void usage_text_cannot_be_changed_data()
    {
        QTest::addColumn<QKeySequence>("keys");
        QTest::newRow("typing") << QKeySequence(Qt::Key_X);
        QTest::newRow("Enter") << QKeySequence(Qt::Key_Return);
        QTest::newRow("Delete") << QKeySequence(Qt::Key_Delete);
        QTest::newRow("Backspace") << QKeySequence(Qt::Key_Backspace);
        QTest::newRow("paste") << QKeySequence(QKeySequence::Paste);
        QTest::newRow("cut") << QKeySequence(QKeySequence::Cut);
    }
    void usage_text_cannot_be_changed()
    {
        QFETCH(QKeySequence, keys);
        QApplication::clipboard()->setText(QStringLiteral("pasted"));
        MainWindow main;
        QVERIFY(main.show_about([&](QDialog *window) {
            auto *usage = control<QPlainTextEdit>(window, "Text1");
            usage->setFocus();
            QTest::keySequence(usage, QKeySequence::SelectAll);
            QTest::keySequence(usage, keys);
            QCOMPARE(usage->toPlainText(), displayed_usage());
            QVERIFY(window->isVisible());
            close_with_button(window);
        }));
    }

    void usage_text_can_be_copied()
    {
        QApplication::clipboard()->clear();
        MainWindow main;
        QVERIFY(main.show_about([&](QDialog *window) {
            auto *usage = control<QPlainTextEdit>(window, "Text1");
            usage->setFocus();
            QTest::keySequence(usage, QKeySequence::SelectAll);
            QTest::keySequence(usage, QKeySequence::Copy);
            QCOMPARE(QApplication::clipboard()->text(), displayed_usage());
            close_with_button(window);
        }));
    }
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"
