#include "about/usage_text.h"
#include "document/weapon_file.h"
#include "editor/form1.h"
#include "editor/twips.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

using Act = std::function<void(QDialog *)>;
Q_DECLARE_METATYPE(Act)

namespace
{

// The usage text as the box shows it: one paragraph a line.
const QString kShownUsage = QString::fromLatin1(kUsageText).replace("\r\n", "\n");

Act press(const char *focus, QKeySequence keys)
{
    return [=](QDialog *window) {
        window->findChild<QWidget *>(focus)->setFocus();
        QTest::keySequence(window->focusWidget(), keys);
    };
}

// Chooses Help > About and runs `answer` inside the About window's own modal loop, as a user
// would. Whatever the answer leaves open is closed, so that the command always returns.
bool show_about(Form1 &form, const Act &answer)
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
QString document_view(Form1 &form)
{
    QString view = form.openPath() + '\n' + form.findChild<QLineEdit *>("Text2")->text();
    for (NodeIndex index = 1; index <= form.tree().count(); ++index)
        view += QString("\n%1 %2%3")
                    .arg(form.tree().text(index), form.tree().expanded(index) ? "+" : "-",
                         form.tree().selected() == index ? " selected" : "");
    return view;
}

} // namespace

class TestAbout : public QObject
{
    Q_OBJECT

    std::unique_ptr<Form1> m_main;

private slots:
    void init()
    {
        m_main = std::make_unique<Form1>();
        m_main->setGeometry(100, 100, 600, 450);
        m_main->show();
    }

    void usage_text_is_kept_exactly()
    {
        const QString text = QString::fromLatin1(kUsageText);
        QCOMPARE(text.size(), 454);
        // Nine lines each ended by CR LF, the last one too, with no CR or LF anywhere else.
        QVERIFY(QRegularExpression("\\A([^\r\n]*\r\n){9}\\z").match(text).hasMatch());
        const QStringList lines = text.split("\r\n");
        QList<int> ending_in_blank;
        for (int line = 0; line < lines.size(); ++line)
            if (lines[line].endsWith(' '))
                ending_in_blank << line + 1;
        QCOMPARE(ending_in_blank, QList<int>({1, 2, 3, 5, 6, 8}));
    }

    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<QString>("text");
        QTest::newRow("picture") << "Picture1" << QRect(180, 120, 615, 555) << "";
        QTest::newRow("title") << "Label1" << QRect(960, 180, 3135, 375) << "Armsmith ";
        QTest::newRow("version") << "Label2" << QRect(2580, 240, 795, 195) << "v1.0";
        QTest::newRow("usage") << "Text1" << QRect(300, 960, 5895, 2115) << kShownUsage;
        QTest::newRow("close") << "Command1" << QRect(5100, 3240, 1095, 375) << "Close";
        QTest::newRow("credit") << "Label3" << QRect(300, 3180, 2115, 255)
                                << "By the Armsmith developers";
        QTest::newRow("web address")
            << "Label4" << QRect(300, 3420, 3015, 195) << "https://armsmith.example.org";
    }
    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        const QRect geometry(twips_to_pixels(twips.x()), twips_to_pixels(twips.y()),
                             twips_to_pixels(twips.width()), twips_to_pixels(twips.height()));
        QFETCH(QString, text);
        QVERIFY(show_about(*m_main, [&](QDialog *window) {
            auto *shown = window->findChild<QWidget *>(name);
            QVERIFY(shown);
            QCOMPARE(shown->pos(), geometry.topLeft());
            QCOMPARE(shown->height(), geometry.height());
            // A label may grow to the right to show its whole text; nothing else changes size.
            if (qobject_cast<QLabel *>(shown))
                QVERIFY(shown->width() >= std::max(geometry.width(), shown->sizeHint().width()));
            else
                QCOMPARE(shown->width(), geometry.width());
            auto *box = qobject_cast<QPlainTextEdit *>(shown);
            QCOMPARE(box ? box->toPlainText() : shown->property("text").toString(), text);
        }));
    }

    void window_is_fixed_modal_and_centred()
    {
        QVERIFY(show_about(*m_main, [&](QDialog *window) {
            QCOMPARE(window->windowTitle(), "About Armsmith");
            QCOMPARE(window->parentWidget(), m_main.get());
            QVERIFY(window->isModal());
            const QSize client(twips_to_pixels(6555), twips_to_pixels(3795));
            QCOMPARE(QList<QSize>({window->size(), window->minimumSize(), window->maximumSize()}),
                     QList<QSize>(3, client));
            QCOMPARE(window->windowFlags() &
                         (Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
                     Qt::WindowCloseButtonHint);
            const QPoint centre = m_main->frameGeometry().center();
            QVERIFY((window->frameGeometry().center() - centre).manhattanLength() <= 2);
        }));
    }

    // No cancel and no default button: Esc does nothing, Enter acts only on the focused button.
    // Whatever the user does, the usage text and the main window stay as they were, and the next
    // showing starts afresh: scrolled to the top, nothing selected.
    void what_the_user_does_data()
    {
        QTest::addColumn<Act>("act");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Esc") << press("Text1", Qt::Key_Escape) << false;
        QTest::newRow("Enter in usage text") << press("Text1", Qt::Key_Return) << false;
        QTest::newRow("typing in usage text") << press("Text1", Qt::Key_X) << false;
        QTest::newRow("paste in usage text") << press("Text1", QKeySequence::Paste) << false;
        QTest::newRow("Enter on Close") << press("Command1", Qt::Key_Return) << true;
        QTest::newRow("keypad Enter on Close")
            << press("Command1", Qt::Key_Enter | Qt::KeypadModifier) << true;
        QTest::newRow("Close button") << Act([](QDialog *window) {
            QTest::mouseClick(window->findChild<QPushButton *>("Command1"), Qt::LeftButton);
        }) << true;
        QTest::newRow("close box") << Act([](QDialog *window) { window->close(); }) << true;
    }
    void what_the_user_does()
    {
        QFETCH(Act, act);
        QFETCH(bool, closes);
        QVERIFY(build_weapon_tree(m_main->tree(), "Pistol\\damage\\12\\range\\300"));
        m_main->tree().nodes().Item(5)->setSelected();
        const QString before = document_view(*m_main);
        QApplication::clipboard()->setText(QStringLiteral("pasted"));
        QPointer<QDialog> shown;
        QVERIFY(show_about(*m_main, [&](QDialog *window) {
            shown = window;
            auto *usage = window->findChild<QPlainTextEdit *>("Text1");
            QTest::keyClick(usage, Qt::Key_End, Qt::ControlModifier);
            QTest::keyClick(usage, Qt::Key_Up, Qt::ShiftModifier);
            QVERIFY(usage->verticalScrollBar()->value() > 0 && usage->textCursor().hasSelection());
            act(window);
            QCOMPARE(window->isVisible(), !closes);
            QCOMPARE(usage->toPlainText(), kShownUsage);
        }));
        QVERIFY(!shown); // Show has returned and taken the window down
        QCOMPARE(document_view(*m_main), before);
        QVERIFY(show_about(*m_main, [&](QDialog *window) {
            auto *usage = window->findChild<QPlainTextEdit *>("Text1");
            QCOMPARE(usage->verticalScrollBar()->value(), 0);
            QVERIFY(!usage->textCursor().hasSelection());
        }));
    }
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"
