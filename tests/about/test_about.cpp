#include "about/form2.h"
#include "about/usage_text.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

namespace
{

// The About window shown over owner, with `answer` run inside the window's own modal loop; what
// it leaves open is closed so that the command returns.
bool show_about(Form2 &about, QWidget &owner, const std::function<void(QDialog *)> &answer)
{
    bool answered = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QPointer<QDialog> shown = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            poll.stop();
            answered = true;
            answer(shown);
            if (shown && shown->isVisible())
                shown->close();
        }
    });
    poll.start(10);
    about.Show(&owner);
    return answered;
}

} // namespace

class TestAbout : public QObject
{
    Q_OBJECT

private slots:
    // Every text whole: each label big enough for it, in height too, and inside the window.
    void texts_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        QTest::newRow("title, trailing blank kept") << "Label1"
                                                    << "Armsmith ";
        QTest::newRow("version") << "Label2"
                                 << "v1.0";
        QTest::newRow("credit") << "Label3"
                                << "By the Armsmith developers";
        QTest::newRow("web address, descenders") << "Label4"
                                                 << "https://armsmith.example.org";
        QTest::newRow("button") << "Command1"
                                << "Close";
        QTest::newRow("usage, every character")
            << "Text1"
            << "Usage: \n"
               "** You must extract the weapon you wish to edit from the PK3/zbx file. \n"
               "1 - Select the \"Open Weapon\" button or menu item and select the weapon \n"
               "you wish to modify\n"
               "2 - Select the value you wish to modify , and either type in the value in the "
               "edit \nfield below, or use the \"slow double click\" method to rename it "
               "directly in the \ntree list.\n"
               "3 - Save the changes by pressing the \"Save Weapon\" button or selecting \n"
               "the Save Weapon menu item\n";
    }
    void texts()
    {
        QFETCH(QString, control);
        QFETCH(QString, text);
        const QString usage = QString::fromLatin1(kUsageText);
        QCOMPARE(usage.size(), 454);
        QVERIFY(QRegularExpression("\\A([^\r\n]*\r\n){9}\\z").match(usage).hasMatch());
        QCOMPARE(usage.count(" \r\n"), 6); // the blanks ending lines 1-3, 5, 6 and 8 are text
        Form2 about;
        QWidget main;
        main.show();
        QVERIFY(show_about(about, main, [&](QDialog *window) {
            auto *shown = window->findChild<QWidget *>(control);
            const auto *box = qobject_cast<QPlainTextEdit *>(shown);
            QCOMPARE(box ? box->toPlainText() : shown->property("text").toString(), text);
            if (qobject_cast<QLabel *>(shown)) {
                QCOMPARE(shown->size().expandedTo(shown->sizeHint()), shown->size());
                QVERIFY(window->rect().contains(shown->geometry()));
            }
        }));
    }

    // No cancel and no default button. The next showing starts afresh: at the top, no selection.
    void keys_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Esc") << "Text1" << QKeySequence(Qt::Key_Escape) << false;
        QTest::newRow("Enter in usage text") << "Text1" << QKeySequence(Qt::Key_Return) << false;
        QTest::newRow("typing in usage text") << "Text1" << QKeySequence(Qt::Key_X) << false;
        QTest::newRow("Enter on Close") << "Command1" << QKeySequence(Qt::Key_Return) << true;
    }
    void keys()
    {
        QFETCH(QString, focus);
        QFETCH(QKeySequence, keys);
        QFETCH(bool, closes);
        Form2 about;
        QWidget main;
        main.show();
        QVERIFY(show_about(about, main, [&](QDialog *window) {
            auto *usage = window->findChild<QPlainTextEdit *>("Text1");
            QTest::keyClick(usage, Qt::Key_End, Qt::ControlModifier);
            QTest::keyClick(usage, Qt::Key_Up, Qt::ShiftModifier);
            QVERIFY(usage->verticalScrollBar()->value() > 0 && usage->textCursor().hasSelection());
            window->findChild<QWidget *>(focus)->setFocus();
            QTest::keySequence(window->focusWidget(), keys);
            QCOMPARE(window->isVisible(), !closes);
            QCOMPARE(usage->toPlainText(), QString(kUsageText).replace("\r\n", "\n"));
        }));
        QVERIFY(show_about(about, main, [&](QDialog *window) {
            auto *usage = window->findChild<QPlainTextEdit *>("Text1");
            QCOMPARE(usage->verticalScrollBar()->value(), 0);
            QVERIFY(!usage->textCursor().hasSelection());
        }));
    }

    // Only a close box: the window asks for no minimize and no maximize box, and it cannot be
    // resized, which is what takes the maximize box away. A window manager may minimize it
    // whatever it asks for; it must not stay hidden while its owner waits for it.
    void frame()
    {
        Form2 about;
        QWidget main;
        main.show();
        QVERIFY(show_about(about, main, [](QDialog *window) {
            const Qt::WindowFlags flags = window->windowFlags();
            QCOMPARE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                              Qt::WindowCloseButtonHint),
                     Qt::WindowFlags(Qt::WindowCloseButtonHint));
            QCOMPARE(window->minimumSize(), window->maximumSize());
            window->showMinimized();
            QTRY_VERIFY(!window->isMinimized() && window->isVisible());
        }));
    }
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"
