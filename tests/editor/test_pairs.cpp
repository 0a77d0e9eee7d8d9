#include "modal_answer.h"

#include <QAbstractItemModelTester>

using namespace window_driver;

namespace
{

const QByteArray kThree = "H\\a\\1\\b\\2\\c\\3\r\n";

// Clicks the first node, then the others with Ctrl held, as a user picks several rows.
void pick(const Form1 &form, const QList<int> &nodes)
{
    for (qsizetype i = 0; i < nodes.size(); ++i) {
        const QModelIndex index = model_index(form, NodeIndex(nodes[i]));
        tree_view(form)->scrollTo(index);
        QTest::mouseClick(tree_view(form)->viewport(), Qt::LeftButton,
                          i == 0 ? Qt::NoModifier : Qt::ControlModifier,
                          tree_view(form)->visualRect(index).center());
    }
}

// A command: an Edit menu item by name, or keys pressed on the tree.
QStringList run(OpenWindow &w, const QString &command, const QStringList &answers)
{
    return answer_modals(answers, [&] {
        if (command.startsWith("mnu")) {
            control<QAction>(w.form, qPrintable(command))->trigger();
            return;
        }
        if (!w.form.isActiveWindow()) { // shortcuts reach only an active window
            w.form.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&w.form));
        }
        tree_view(w.form)->setFocus();
        const QKeyCombination key = QKeySequence(command)[0];
        QTest::keyClick(tree_view(w.form), key.key(), key.keyboardModifiers());
    });
}

} // namespace

struct PairCase {
    QString command;
    QList<int> selection;
    QStringList answers;
    QByteArray after;
    QString undo;           // empty: nothing was done
    QString clipboard = {}; // what the clipboard holds before the command, or after a copy
    QString shown = {};     // if set, the text of the node selected afterwards
    QString refusal = {};   // if set, words of the message that refuses the command
};
Q_DECLARE_METATYPE(PairCase)

class TestPairs : public QObject
{
    Q_OBJECT

private slots:
    // Nodes of kThree: 1 H, 2 a, 3 1, 4 b, 5 2, 6 c, 7 3.
    void pair_commands_data()
    {
        QTest::addColumn<PairCase>("c");
        QTest::newRow("delete a key")
            << PairCase{"mnuDeletePair", {4}, {}, "H\\a\\1\\c\\3\r\n", "Delete b", {}, "c"};
        QTest::newRow("Delete on the last value")
            << PairCase{"Delete", {7}, {}, "H\\a\\1\\b\\2\r\n", "Delete c", {}, "b"};
        QTest::newRow("delete two pairs picked with Ctrl")
            << PairCase{"Delete", {2, 7}, {}, "H\\b\\2\r\n", "Delete 2 pairs"};
        QTest::newRow("delete with the header selected") << PairCase{"Delete", {1}, {}, kThree, ""};
        QTest::newRow("rename") << PairCase{
            "Shift+F2", {3}, {"damage"}, "H\\damage\\1\\b\\2\\c\\3\r\n", "Rename a to damage"};
        QTest::newRow("rename cancelled") << PairCase{"mnuRenameKey", {2}, {}, kThree, ""};
        QTest::newRow("rename to a key in use")
            << PairCase{"mnuRenameKey", {2}, {"c"}, kThree, "", {}, {}, "\"c\" is already in use"};
        QTest::newRow("rename to the header")
            << PairCase{"mnuRenameKey", {2}, {"H"}, kThree, "", {}, {}, "weapon's header"};
        QTest::newRow("rename to nothing")
            << PairCase{"mnuRenameKey", {2}, {""}, kThree, "", {}, {}, "needs a name"};
        QTest::newRow("rename to a name with a backslash")
            << PairCase{"mnuRenameKey", {2}, {"x\\y"}, kThree, "", {}, {}, "holds a backslash"};
        QTest::newRow("move up the last pair")
            << PairCase{"Alt+Up", {6}, {}, "H\\a\\1\\c\\3\\b\\2\r\n", "Move Up c"};
        QTest::newRow("move down two neighbours")
            << PairCase{"mnuMoveDown", {2, 5}, {}, "H\\c\\3\\a\\1\\b\\2\r\n", "Move Down 2 pairs"};
        QTest::newRow("move up the first pair") << PairCase{"mnuMoveUp", {3}, {}, kThree, ""};
        QTest::newRow("copy two pairs")
            << PairCase{"Ctrl+C", {7, 3}, {}, kThree, "", "a\\1\nc\\3\n"};
        QTest::newRow("paste after the selected pair")
            << PairCase{"Ctrl+V",
                        {3},
                        {},
                        "H\\a\\1\\x\\9\\y\\\\b\\2\\c\\3\r\n",
                        "Paste 2 pairs",
                        "x\\9\r\ny\\\r\n\r\n"};
        QTest::newRow("paste with the header selected appends")
            << PairCase{"mnuPaste", {1}, {}, "H\\a\\1\\b\\2\\c\\3\\x\\9\r\n", "Paste x", "x\\9"};
        QTest::newRow("paste replacing a value after the question")
            << PairCase{"mnuPaste",      {2},         {"Replace"}, "H\\a\\1\\x\\9\\b\\7\\c\\3\r\n",
                        "Paste 2 pairs", "b\\7\nx\\9"};
        QTest::newRow("duplicate")
            << PairCase{"Ctrl+D", {4}, {"b2"}, "H\\a\\1\\b\\2\\b2\\2\\c\\3\r\n", "Duplicate b"};
        QTest::newRow("duplicate under a name in use")
            << PairCase{"Ctrl+D", {4}, {"a"}, kThree, "", {}, {}, "\"a\" is already in use"};
    }
    void pair_commands()
    {
        QFETCH(PairCase, c);
        OpenWindow w(kThree);
        QAbstractItemModelTester tester(&tree_view(w.form)->weaponModel(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(&tree_view(w.form)->weaponModel(), &QAbstractItemModel::modelReset);
        if (c.command != "Ctrl+C" && !c.clipboard.isNull())
            QGuiApplication::clipboard()->setText(c.clipboard);
        pick(w.form, c.selection);
        const QStringList seen = run(w, c.command, c.answers);
        const qsizetype asked = qMax(c.answers.size(), c.command.contains("Rename") ? 1 : 0);
        QVERIFY2(seen.size() == asked + (c.refusal.isNull() ? 0 : 1) &&
                     (c.refusal.isNull() || seen.last().contains(c.refusal)),
                 qPrintable(seen.join(" | ")));
        if (c.command == "Ctrl+C")
            QCOMPARE(QGuiApplication::clipboard()->text(), c.clipboard);
        auto *undo = control<QAction>(w.form, "mnuUndo");
        QCOMPARE(undo->isEnabled() ? undo->text() : QString(),
                 c.undo.isEmpty() ? "" : "&Undo " + c.undo);
        // The panel shows the node the tree has selected.
        QCOMPARE(control<QLineEdit>(w.form, "Text2")->text(),
                 w.form.tree().text(w.form.tree().selected()));
        if (!c.shown.isNull())
            QCOMPARE(w.form.tree().text(w.form.tree().selected()), c.shown);
        QCOMPARE(w.tool(3), QStringList());
        QCOMPARE(bytes_of(w.path), c.after);
        if (!c.undo.isEmpty()) { // undone, the file comes back byte for byte; redone, the change
            undo->trigger();
            QCOMPARE(w.tool(3), QStringList());
            QCOMPARE(bytes_of(w.path), kThree);
            control<QAction>(w.form, "mnuRedo")->trigger();
            QCOMPARE(w.tool(3), QStringList());
            QCOMPARE(bytes_of(w.path), c.after);
        }
        QCOMPARE(resets.size(), 0); // rows were removed, moved or inserted: no reset
    }

    void paste_refusals_data()
    {
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing on the clipboard") << "" << QStringList() << "holds no pairs";
        QTest::newRow("a line without a backslash") << "x\\1\nnot a pair\n"
                                                    << QStringList() << "Line 2 of the clipboard";
        QTest::newRow("a key twice") << "x\\1\nx\\2" << QStringList() << "\"x\" is pasted more";
        QTest::newRow("the header as a key") << "H\\1" << QStringList() << "weapon's header";
        QTest::newRow("an empty key") << "\\1" << QStringList() << "needs a name";
        QTest::newRow("a value with a backslash")
            << "x\\1\\2" << QStringList() << "value of x holds a backslash";
        QTest::newRow("keys already there, not replaced")
            << "x\\1\nc\\9\na\\8" << QStringList{"Cancel"} << "already has these keys: c, a";
    }
    void paste_refusals()
    {
        QFETCH(QString, clipboard);
        QFETCH(QStringList, answers);
        QFETCH(QString, message);
        OpenWindow w(kThree);
        QGuiApplication::clipboard()->setText(clipboard);
        pick(w.form, {4});
        const QStringList seen = run(w, "Ctrl+V", answers);
        QVERIFY2(seen.size() == 1 && seen[0].contains(message), qPrintable(seen.join(" | ")));
        QVERIFY(!control<QAction>(w.form, "mnuUndo")->isEnabled());
        QCOMPARE(w.tool(3), QStringList());
        QCOMPARE(bytes_of(w.path), kThree);
    }
};

QTEST_MAIN(TestPairs)
#include "test_pairs.moc"
