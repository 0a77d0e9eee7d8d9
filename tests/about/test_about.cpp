#include "../editor/window_driver.h"
#include "about/usage_text.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTimer>

#include <functional>

using namespace window_driver;

namespace
{

// The usage text as the box shows it: one paragraph a line.
const QString kShownUsage = QString::fromLatin1(kUsageText).replace("\r\n", "\n");

// Chooses Help > About and runs `answer` inside the About window's own modal loop, as a user
// would. Whatever the answer leaves open is closed, so that the command always returns.
bool show_about(Form1 &form, const std::function<void(QDialog *)> &answer)
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
    if (auto *command = form.findChild<QAction *>(QStringLiteral("mnuAbout")))
        command->trigger();
    return answered;
}

// What the user sees of the document in the main window.
QString document_view(const Form1 &form)
{
    return node_texts(form) + QString("\nselected %1, box %2")
                                  .arg(tree_view(form)->tree().selected())
                                  .arg(control<QLineEdit>(form, "Text2")->text());
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
        // Nine lines each ended by CR LF, the last one too, with no CR or LF anywhere else.
        QVERIFY(QRegularExpression("\\A([^\r\n]*\r\n){9}\\z").match(text).hasMatch());
        QList<int> ending_in_blank;
        for (int line = 0; line < 9; ++line)
            if (text.section("\r\n", line, line).endsWith(' '))
                ending_in_blank << line + 1;
        QCOMPARE(ending_in_blank, QList<int>({1, 2, 3, 5, 6, 8}));
    }

    void window_and_texts()
    {
        Form1 main;
        main.show();
        QVERIFY(show_about(main, [&](QDialog *window) {
            QCOMPARE(window->windowTitle(), QString("About Armsmith"));
            QCOMPARE(window->size(), QSize(437, 253)); // 6555 x 3795 twips
            QCOMPARE(window->minimumSize(), window->maximumSize());
            QVERIFY(!(window->windowFlags() &
                      (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
            QVERIFY(window->isModal());
            QCOMPARE(window->parentWidget(), &main);
            QStringList texts;
            for (const char *name : {"Label1", "Label2", "Label3", "Label4", "Command1"})
                texts << window->findChild<QWidget *>(name)->property("text").toString();
            QCOMPARE(texts, QStringList({"Armsmith ", "v1.0", "By the Armsmith developers",
                                         "https://armsmith.example.org", "Close"}));
            QCOMPARE(window->findChild<QLabel *>("Picture1")->pixmap().size(), QSize(32, 32));
        }));
    }

    // No cancel and no default button: Esc does nothing, Enter acts only on the focused button.
    // Whatever the user does, the usage text and the main window stay as they were, and the next
    // showing starts afresh: scrolled to the top, nothing selected.
    void what_the_user_does_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Esc") << "Text1" << QKeySequence(Qt::Key_Escape) << false;
        QTest::newRow("Enter in usage text") << "Text1" << QKeySequence(Qt::Key_Return) << false;
        QTest::newRow("typing in usage text") << "Text1" << QKeySequence(Qt::Key_X) << false;
        QTest::newRow("paste in usage text")
            << "Text1" << QKeySequence(QKeySequence::Paste) << false;
        QTest::newRow("Enter on Close") << "Command1" << QKeySequence(Qt::Key_Return) << true;
    }
    void what_the_user_does()
    {
        QFETCH(QString, focus);
        QFETCH(QKeySequence, keys);
        QFETCH(bool, closes);
        Form1 main;
        main.show();
        QVERIFY(build_weapon_tree(main.tree(), "Pistol\\damage\\12\\range\\300"));
        main.tree().nodes().Item(5)->setSelected();
        const QString before = document_view(main);
        QApplication::clipboard()->setText(QStringLiteral("pasted"));
        QPointer<QDialog> shown;
        QVERIFY(show_about(main, [&](QDialog *window) {
            shown = window;
            auto *usage = window->findChild<QPlainTextEdit *>("Text1");
            QTest::keyClick(usage, Qt::Key_End, Qt::ControlModifier);
            QTest::keyClick(usage, Qt::Key_Up, Qt::ShiftModifier);
            QVERIFY(usage->verticalScrollBar()->value() > 0 && usage->textCursor().hasSelection());
            window->findChild<QWidget *>(focus)->setFocus();
            QTest::keySequence(window->focusWidget(), keys);
            QCOMPARE(window->isVisible(), !closes);
            QCOMPARE(usage->toPlainText(), kShownUsage);
        }));
        QVERIFY(!shown); // Show has returned and taken the window down
        QCOMPARE(document_view(main), before);
        QVERIFY(show_about(main, [&](QDialog *window) {
            auto *usage = window->findChild<QPlainTextEdit *>("Text1");
            QCOMPARE(usage->verticalScrollBar()->value(), 0);
            QVERIFY(!usage->textCursor().hasSelection());
        }));
    }
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"
