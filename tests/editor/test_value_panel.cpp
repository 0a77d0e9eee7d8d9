#include "document/code_page.h"
#include "window_driver.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QToolTip>

using namespace window_driver;

namespace
{

// Nodes: 1 H (root), 2 a (key), 3 "1" (value), 4 b (key), 5 "2" (value).
const QByteArray kPairs = "H\\a\\1\\b\\2";
const QString kUnencodable = QString(QChar(0x4E2D)) + QString::fromUcs4(U"\U0001F600");
const QString kBadPaste = "paste x\\y\rz" + kUnencodable + "w";

// A value longer than a line edit lays out quickly, shown in the long box. Rows that use it
// expect it spelled as "LONG".
const QString kLong = [] {
    QString text;
    for (int i = 0; text.size() < 200000; ++i)
        text += QString::number(i) + ' ';
    return text.left(200000);
}();
const QByteArray kLongPair = "H\\k\\" + kLong.toLatin1() + "\\k2\\v";
const QByteArray kLongKey = "H\\" + kLong.toLatin1() + "\\v";

QString with_long(QString text) { return text.replace("LONG", kLong); }

// The caption, the box's lock and colour and the tree's in-place editing must all agree.
QString panel(const Form1 &form)
{
    const QWidget *box = value_box(form);
    const auto *longBox = qobject_cast<const LongLineEdit *>(box);
    const bool locked =
        longBox ? longBox->isReadOnly() : static_cast<const QLineEdit *>(box)->isReadOnly();
    const bool agree =
        control<QLabel>(form, "Label2")->text() ==
            (locked ? "Value (Not Modifiable)" : "Value (Modifiable)") &&
        box->accessibleName() == control<QLabel>(form, "Label2")->text() &&
        box->palette().color(QPalette::Base) ==
            QApplication::palette().color(locked ? QPalette::Button : QPalette::Base) &&
        tree_view(form)->LabelEdit() == (locked ? 1 : 0);
    // What was left out is told at the box; the status bar stays as it was.
    const QString told = QToolTip::isVisible() ? " (" + QToolTip::text() + ")" : QString();
    return (!agree   ? "mixed "
            : locked ? "read-only "
                     : "editable ") +
           value_box_text(form) + told + form.statusBar()->currentMessage();
}

// "3" clicks node 3's row, "again 3" clicks it once more (QTest spaces clicks too far apart
// to make a double click) and waits for the in-place editor, "+2" clicks node 2's expand button,
// "box" clicks to the end of the value box, "type " and "paste " enter the rest by keystrokes or
// from the clipboard; else a key.
void run(Form1 &form, const QString &step)
{
    QWidget *focus = QApplication::focusWidget();
    QWidget *box = value_box(form);
    TreeView *tv = tree_view(form);
    const auto node = NodeIndex(step.toInt());
    if (step[0].isDigit()) {
        click_node(form, node);
    } else if (step.startsWith("again ")) {
        click_node(form, NodeIndex(step.mid(6).toInt()));
        QTRY_VERIFY(QApplication::focusWidget() &&
                    QApplication::focusWidget()->parentWidget() == tv->viewport());
    } else if (step[0] == u'+') {
        const QRect label = tv->visualRect(model_index(form, node));
        QTest::mouseClick(tv->viewport(), Qt::LeftButton, {},
                          QPoint(label.left() - tv->indentation() / 2, label.center().y()));
    } else if (step == "box") {
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::keyClick(box, Qt::Key_End);
    } else if (step.startsWith("type ")) {
        for (const char32_t c : step.mid(5).toUcs4()) {
            QTest::sendKeyEvent(QTest::Click, focus, Qt::Key_unknown, QString::fromUcs4(&c, 1),
                                Qt::NoModifier);
            if (focus == box) // the node follows every keystroke, not just the last
                QCOMPARE(form.tree().text(form.tree().selected()), value_box_text(form));
        }
    } else if (step.startsWith("paste ")) {
        QGuiApplication::clipboard()->setText(step.mid(6));
        QTest::keyClick(focus, Qt::Key_V, Qt::ControlModifier);
    } else {
        const QKeyCombination key = QKeySequence(step)[0];
        QTest::keyClick(focus, key.key(), key.keyboardModifiers());
    }
}

void columns()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("node");
    QTest::addColumn<QString>("panel");
}

void row(const char *name, const QStringList &steps, int node, const QString &panel,
         const QByteArray &bytes = kPairs)
{
    QTest::newRow(name) << bytes << steps << node << with_long(panel);
}

} // namespace

// Each row loads bytes, takes the steps, and names the node then selected and the panel.
class TestValuePanel : public QObject
{
    Q_OBJECT

private slots:
    void follows_and_edits_data()
    {
        columns();
        row("root", {"3", "1"}, 1, "read-only H");
        row("key", {"3", "2"}, 2, "read-only a");
        row("value", {"2", "3"}, 3, "editable 1");
        row("lone root, typed into", {"box", "type z"}, 1, "editable Hz", "H");
        row("value, typed into", {"3", "box", "type xy"}, 3, "editable 1xy");
        row("Left from a value to its key", {"3", "Left"}, 2, "read-only a");
        row("collapsing the key above the value", {"3", "+2"}, 2, "read-only a");
        row("in place: Enter commits", {"3", "F2", "End", "type +", "Return"}, 3, "editable 1+");
        row("in place: Esc abandons", {"3", "F2", "End", "type +", "Esc"}, 3, "editable 1");
        row("in place: a slow second click edits", {"3", "again 3", "End", "type +", "Return"}, 3,
            "editable 1+");
        row("long value, typed into", {"3", "box", "type xy"}, 3, "editable LONGxy", kLongPair);
        row("long value, both ends rubbed out",
            {"3", "box", "Backspace", "Home", "Delete", "type Q"}, 3,
            "editable Q" + kLong.mid(1, kLong.size() - 2), kLongPair);
        row("long value, all selected and typed over", {"3", "box", "Ctrl+A", "type z", "type y"},
            3, "editable zy", kLongPair);
        row("long value, its end cut and pasted at its start",
            {"3", "box", "Shift+Left", "Shift+Left", "Ctrl+X", "Home", "Ctrl+V"}, 3,
            "editable " + kLong.right(2) + kLong.chopped(2), kLongPair);
    }
    void follows_and_edits() { check(); }

    // Showing a value writes the box's text back into it, so the text must pass the box and the
    // in-place editor whole.
    void written_back_whole_data()
    {
        columns();
        QByteArray codePage, longText;
        for (int byte = 0; byte < 256; ++byte)
            if (byte != '\\' && byte != '\r')
                codePage += char(byte);
        for (int i = 0; longText.size() < 100000; ++i)
            longText += QByteArray::number(i) + ' ';
        for (const auto &[name, bytes] : {std::pair{"LF", QByteArray("\n")},
                                          {"tab", "\t"},
                                          {"NUL", QByteArray("x\0y", 3)},
                                          {"every code-page character", codePage},
                                          {"100000 characters", longText.left(100000)}})
            row(name, {"3", "2", "3", "1", "3", "F2", "Return"}, 3,
                "editable " + code_page::decode(bytes), "H\\k\\" + bytes + "\\k2\\v");
    }
    void written_back_whole() { check(); }

    // Typed, what the file cannot hold does nothing; pasted, it is dropped and the rest goes in.
    void edits_refused_data()
    {
        columns();
        const QString bad = "type a\\b" + kUnencodable + "c";
        row("key: typed into", {"3", "2", "box", "type z"}, 2, "read-only a");
        row("key: F2", {"3", "4", "F2"}, 4, "read-only b");
        const QString told = " (Left out: the character U+1F600. A weapon file cannot hold it.)";
        row("box: typed", {"3", "box", bad}, 3, "editable 1abc" + told);
        row("box: pasted", {"3", "box", kBadPaste, "type !"}, 3,
            "editable 1xyzw! (Left out: a backslash, a carriage return, the character U+4E2D and "
            "the character U+1F600. A weapon file cannot hold them.)");
        row("long box: typed", {"3", "box", bad}, 3, "editable LONGabc" + told, kLongPair);
        row("long box: pasted", {"3", "box", kBadPaste, "type !"}, 3,
            "editable LONGxyzw! (Left out: a backslash, a carriage return, the character U+4E2D "
            "and the character U+1F600. A weapon file cannot hold them.)",
            kLongPair);
        row("long key: typed into", {"3", "2", "box", "type z", "Ctrl+V"}, 2, "read-only LONG",
            kLongKey);
        // The tip was at the in-place editor, and goes with it.
        row("in place: typed", {"3", "F2", "End", bad, "Return"}, 3, "editable 1abc");
        row("in place: pasted", {"3", "F2", "End", kBadPaste, "type !", "Return"}, 3,
            "editable 1xyzw!");
    }
    void edits_refused() { check(); }

private:
    void check()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, steps);
        QFETCH(int, node);
        QFETCH(QString, panel);
        Form1 form;
        QVERIFY(show_window(form));
        { // declared first so that it also checks the reset's end
            QAbstractItemModelTester tester(&tree_view(form)->weaponModel(),
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
            const WeaponTreeBatch batch(form.tree());
            QVERIFY(build_weapon_tree(form.tree(), bytes));
        }
        click_node(form, 1);
        const QString before = node_texts(form), old = form.tree().text(NodeIndex(node));
        for (const QString &step : steps)
            run(form, step);
        QTRY_VERIFY(QApplication::focusWidget()->parentWidget() != tree_view(form)->viewport());
        QCOMPARE(form.tree().selected(), node);
        QCOMPARE(tree_view(form)->currentIndex(), model_index(form, NodeIndex(node)));
        QCOMPARE(::panel(form), panel);
        QCOMPARE(form.tree().text(NodeIndex(node)), value_box_text(form));
        // The long box lays out only what it shows; the caret must be among it.
        if (const auto *longBox = qobject_cast<const LongLineEdit *>(value_box(form)))
            QVERIFY(longBox->rect().contains(longBox->characterRect(longBox->cursorPosition())));
        // The row and the screen reader get the start of a long text, not all of it to lay out.
        for (const int role : {int(Qt::DisplayRole), int(Qt::AccessibleTextRole)}) {
            const QString shown = model_index(form, NodeIndex(node)).data(role).toString();
            QVERIFY(shown.size() <= 2001);
            QVERIFY(form.tree().text(NodeIndex(node)).startsWith(shown.left(2000)));
        }
        form.tree().setText(NodeIndex(node), old); // no other node may have changed
        QCOMPARE(node_texts(form), before);
    }
};

QTEST_MAIN(TestValuePanel)
#include "test_value_panel.moc"
