#include "about/form2.h"
#include "about/usage_text.h"

#include <QApplication>
#include <QDialog>
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
    void texts()
    {
        const QString usage = QString::fromLatin1(kUsageText);
        QCOMPARE(usage.size(), 454);
        QVERIFY(QRegularExpression("\\A([^\r\n]*\r\n){9}\\z").match(usage).hasMatch());
        QCOMPARE(usage.count(" \r\n"), 6); // the blanks ending lines 1-3, 5, 6 and 8 are text
        Form2 about;
        QWidget main;
        main.show();
        QVERIFY(show_about(about, main, [&](QDialog *window) {
            QStringList texts;
            for (const char *name : {"Label1", "Label2", "Label3", "Label4", "Command1"})
                texts << window->findChild<QWidget *>(name)->property("text").toString();
            QCOMPARE(texts, QStringList({"Armsmith ", "v1.0", "By the Armsmith developers",
                                         "https://armsmith.example.org", "Close"}));
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
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"
