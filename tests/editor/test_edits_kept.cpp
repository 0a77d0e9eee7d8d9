#include "modal_answer.h"

using namespace window_driver;

namespace
{

const QByteArray kOpened = "H\\a\\1\\b\\2\r\n";

QAction *action(const Form1 &form, const char *name) { return control<QAction>(form, name); }

// "3" clicks node 3, "box" puts the caret at the end of the value box, "tree" gives the tree
// the focus, "type x" types into the focus, "key a v" adds a pair with New Key, "undo" and
// "redo" choose the Edit menu's items; anything else is a key pressed on the focus.
void run(OpenWindow &w, const QString &step)
{
    auto *text2 = control<QLineEdit>(w.form, "Text2");
    QCoreApplication::processEvents(); // an in-place edit is committed from the event loop
    if (!w.form.isActiveWindow()) {    // keys reach only an active window, and a dialog took it
        w.form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.form));
    }
    if (step[0].isDigit()) {
        click_node(w.form, NodeIndex(step.toInt()));
    } else if (step == "box") {
        QTest::mouseClick(text2, Qt::LeftButton);
        QTest::keyClick(text2, Qt::Key_End);
    } else if (step == "tree") {
        tree_view(w.form)->setFocus();
    } else if (step.startsWith("type ")) {
        QTest::keyClicks(QApplication::focusWidget(), step.mid(5));
    } else if (step.startsWith("key ")) {
        w.tool(8, step.mid(4).split(' '));
    } else if (step == "undo" || step == "redo") {
        action(w.form, step == "undo" ? "mnuUndo" : "mnuRedo")->trigger();
    } else {
        const QKeyCombination key = QKeySequence(step)[0];
        QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
    }
}

// An edit typed into node 3, so that the document is modified.
void edit(OpenWindow &w)
{
    for (const char *step : {"3", "box", "type 7"})
        run(w, step);
}

} // namespace

class TestEditsKept : public QObject
{
    Q_OBJECT

private slots:
    void mark_and_undo_texts()
    {
        OpenWindow w(kOpened);
        QCOMPARE(w.form.windowTitle(), "weapon.txt[*] - Zembrak Armsmith");
        QVERIFY(!w.form.isWindowModified() && !action(w.form, "mnuUndo")->isEnabled());
        edit(w);
        QVERIFY(w.form.isWindowModified());
        QCOMPARE(action(w.form, "mnuUndo")->text(), "&Undo Change of a");
        run(w, "key a&mmo 9"); // shown as typed, not as a menu accelerator
        QCOMPARE(action(w.form, "mnuUndo")->text(), "&Undo New Key a&&mmo");
        run(w, "undo");
        QCOMPARE(action(w.form, "mnuRedo")->text(), "&Redo New Key a&&mmo");
        QCOMPARE(w.tool(3), QStringList());
        QVERIFY(!w.form.isWindowModified());
        run(w, "undo"); // back past the save: modified again
        QVERIFY(w.form.isWindowModified());
        QCOMPARE(control<QLineEdit>(w.form, "Text2")->text(), "1");
    }

    // Each row starts from kOpened, takes the steps and saves.
    void undo_and_redo_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<bool>("modified"); // before the save
        QTest::newRow("typing on one node is one step; another node starts the next")
            << QStringList{"3", "box", "type 12", "5", "box", "type 9", "undo"}
            << QByteArray("H\\a\\112\\b\\2\r\n") << true;
        QTest::newRow("Ctrl+Z in the value box undoes everything back to the file")
            << QStringList{"3", "box", "type 12", "5", "box", "type 9", "Ctrl+Z", "Ctrl+Z"}
            << kOpened << false;
        QTest::newRow("an in-place edit is a step of its own")
            << QStringList{"3", "box", "type x", "tree", "F2", "End", "type y", "Return", "undo"}
            << QByteArray("H\\a\\1x\\b\\2\r\n") << true;
        QTest::newRow("typing after a redo does not merge into it")
            << QStringList{"3", "box", "type a", "undo", "redo", "box", "type c", "undo"}
            << QByteArray("H\\a\\1a\\b\\2\r\n") << true;
        QTest::newRow("New Key undone") << QStringList{"key ammo 9", "undo"} << kOpened << false;
        QTest::newRow("New Key undone and redone by keys on the tree")
            << QStringList{"key ammo 9", "Ctrl+Z", "Ctrl+Shift+Z"}
            << QByteArray("H\\a\\1\\b\\2\\ammo\\9\r\n") << true;
        QTest::newRow("Ctrl+Y redoes too, from the value box")
            << QStringList{"key ammo 9", "box", "Ctrl+Z", "Ctrl+Y"}
            << QByteArray("H\\a\\1\\b\\2\\ammo\\9\r\n") << true;
    }
    void undo_and_redo()
    {
        QFETCH(QStringList, steps);
        QFETCH(QByteArray, saved);
        QFETCH(bool, modified);
        OpenWindow w(kOpened);
        for (const QString &step : steps)
            run(w, step);
        QCOMPARE(w.form.isWindowModified(), modified);
        // The panel shows the node the last step touched.
        const NodeIndex selected = w.form.tree().selected();
        QCOMPARE(control<QLineEdit>(w.form, "Text2")->text(), w.form.tree().text(selected));
        QCOMPARE(w.tool(3), QStringList());
        QCOMPARE(bytes_of(w.path), saved);
    }

    void question_before_discarding_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("saveFails");
        for (const char *command : {"Exit", "close box", "Open"}) {
            for (const auto &[answer, fails] : {std::pair{"Save", false},
                                                {"Save", true},
                                                {"Discard", false},
                                                {"Cancel", false}}) {
                const QString name =
                    QString("%1, %2%3").arg(command, answer, fails ? " that fails" : "");
                QTest::newRow(qPrintable(name)) << command << answer << fails;
            }
        }
    }
    void question_before_discarding()
    {
        QFETCH(QString, command);
        QFETCH(QString, answer);
        QFETCH(bool, saveFails);
        OpenWindow w(kOpened);
        edit(w);
        if (saveFails) // straight into the tree: the file cannot keep a backslash
            w.form.tree().setText(5, "2\\x");
        const QString file = QDir::toNativeSeparators(w.path);
        QStringList seen;
        if (command == "Open")
            seen = w.tool(1, {answer, w.path});
        else
            seen = answer_modals({answer}, [&] {
                command == "Exit" ? action(w.form, "mnuExit")->trigger() : void(w.form.close());
            });
        QVERIFY2(seen.value(0).contains("has changes") && seen.value(0).contains(file),
                 qPrintable(seen.join(" | ")));
        const bool goesOn = answer == "Discard" || (answer == "Save" && !saveFails);
        const bool saved = answer == "Save" && !saveFails;
        QCOMPARE(bytes_of(w.path), saved ? QByteArray("H\\a\\17\\b\\2\r\n") : kOpened);
        QCOMPARE(seen.size(), saveFails || (goesOn && command == "Open") ? 2 : 1);
        if (saveFails)
            QVERIFY2(seen[1].contains("was not saved"), qPrintable(seen[1]));
        if (command == "Open") { // the dialog reopens the file: the edit is there if saved
            QCOMPARE(w.form.tree().text(3), goesOn && !saved ? "1" : "17");
            QCOMPARE(w.form.isWindowModified(), !goesOn);
        } else {
            QCOMPARE(w.form.isVisible(), !goesOn);
        }
    }

    void failed_open_keeps_the_document_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // null: no such file
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing file") << QByteArray() << "cannot be read";
        QTest::newRow("empty file") << QByteArray("") << "empty";
        QTest::newRow("repeated key") << QByteArray("G\\k\\1\\k\\2") << "\"k\" appears more";
        QTest::newRow("key without value") << QByteArray("G\\k\\1\\m") << "\"m\" has no value";
    }
    void failed_open_keeps_the_document()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        OpenWindow w(kOpened);
        edit(w);
        const QString bad = w.dir.filePath("bad.txt");
        if (QFile file(bad); !bytes.isNull() && file.open(QIODevice::WriteOnly))
            file.write(bytes);
        const QStringList seen = w.tool(1, {"Discard", bad});
        QCOMPARE(seen.size(), 3);
        QVERIFY2(seen[2].contains(QDir::toNativeSeparators(bad)) && seen[2].contains(reason),
                 qPrintable(seen[2]));
        QCOMPARE(node_texts(w.form), "H\na\n17\nb\n2");
        QCOMPARE(w.form.tree().selected(), 3);
        QCOMPARE(control<QLineEdit>(w.form, "Text2")->text(), "17");
        QVERIFY(w.form.isWindowModified() && action(w.form, "mnuUndo")->isEnabled());
        QCOMPARE(w.tool(3), QStringList());
        QCOMPARE(bytes_of(w.path), "H\\a\\17\\b\\2\r\n");
        QCOMPARE(bytes_of(bad), bytes);
    }

    void failed_open_with_no_document_leaves_none()
    {
        Form1 form;
        QVERIFY(show_window(form));
        const QStringList seen =
            answer_modals({"/nonexistent/weapon.txt"}, [&] { action(form, "mnuOpen")->trigger(); });
        QCOMPARE(seen.size(), 2);
        QCOMPARE(form.windowTitle(), "Zembrak Armsmith");
        QCOMPARE(node_texts(form), QString());
    }
};

QTEST_MAIN(TestEditsKept)
#include "test_edits_kept.moc"
