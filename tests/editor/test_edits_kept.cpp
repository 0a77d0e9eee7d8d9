#include "edit_sequence.h"
#include "modal_answer.h"

using namespace window_driver;

namespace
{

const QByteArray kOpened = "H\\a\\1\\b\\2\r\n";
// Pasted as "paste long": enough to move the value into the long box.
const QByteArray kLong = QByteArray("long ").repeated(600);

QAction *action(const Form1 &form, const char *name) { return control<QAction>(form, name); }

// "3" clicks node 3, "box" puts the caret at the end of the value box, "tree" gives the tree
// the focus, "type x" types into the focus, "paste long" pastes kLong there, "key a v" adds a
// pair with New Key, "undo" and "redo" choose the Edit menu's items, as "mnu..." chooses the
// item of that name; anything else is a key pressed on the focus.
void run(OpenWindow &w, const QString &step)
{
    QWidget *box = value_box(w.form);
    QCoreApplication::processEvents(); // an in-place edit is committed from the event loop
    if (!w.form.isActiveWindow()) {    // keys reach only an active window, and a dialog took it
        w.form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.form));
    }
    if (step[0].isDigit()) {
        click_node(w.form, NodeIndex(step.toInt()));
    } else if (step == "box") {
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::keyClick(box, Qt::Key_End);
    } else if (step == "tree") {
        tree_view(w.form)->setFocus();
    } else if (step.startsWith("type ")) {
        QTest::keyClicks(QApplication::focusWidget(), step.mid(5));
    } else if (step == "paste long") {
        QGuiApplication::clipboard()->setText(kLong);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::ControlModifier);
    } else if (step.startsWith("key ")) {
        w.tool(8, step.mid(4).split(' '));
    } else if (step == "undo" || step == "redo") {
        action(w.form, step == "undo" ? "mnuUndo" : "mnuRedo")->trigger();
    } else if (step.startsWith("mnu")) {
        action(w.form, qPrintable(step))->trigger();
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
        QTest::addColumn<int>("selected");
        QTest::newRow("typing on one node is one step; another node starts the next")
            << QStringList{"3", "box", "type 12", "5", "box", "type 9", "undo"}
            << QByteArray("H\\a\\112\\b\\2\r\n") << true << 5;
        QTest::newRow("typing again after another node was selected is a new step")
            << QStringList{"3", "box", "type 1", "5", "3", "box", "type 2", "undo"}
            << QByteArray("H\\a\\11\\b\\2\r\n") << true << 3;
        QTest::newRow("Ctrl+Z in the value box undoes everything back to the file")
            << QStringList{"3", "box", "type 12", "5", "box", "type 9", "Ctrl+Z", "Ctrl+Z"}
            << kOpened << false << 3;
        QTest::newRow("an in-place edit is a step of its own")
            << QStringList{"3", "box", "type x", "tree", "F2", "End", "type y", "Return", "undo"}
            << QByteArray("H\\a\\1x\\b\\2\r\n") << true << 3;
        QTest::newRow("Edit Value in Place opens the editor F2 opens")
            << QStringList{"3",   "box",    "type x", "mnuEditInPlace",
                           "End", "type y", "Return", "undo"}
            << QByteArray("H\\a\\1x\\b\\2\r\n") << true << 3;
        QTest::newRow("F2 in the value box opens no editor in the tree")
            << QStringList{"3", "box", "F2", "type x"} << QByteArray("H\\a\\1x\\b\\2\r\n") << true
            << 3;
        QTest::newRow("Edit Value in Place leaves a key alone")
            << QStringList{"2", "mnuEditInPlace", "type y", "Return"} << kOpened << false << 2;
        QTest::newRow("two in-place edits are two steps")
            << QStringList{"3",  "tree", "F2",     "End",    "type x", "Return",
                           "F2", "End",  "type y", "Return", "undo"}
            << QByteArray("H\\a\\1x\\b\\2\r\n") << true << 3;
        QTest::newRow("typing after a redo does not merge into it")
            << QStringList{"3", "box", "type a", "undo", "redo", "box", "type c", "undo"}
            << QByteArray("H\\a\\1a\\b\\2\r\n") << true << 3;
        QTest::newRow("New Key undone")
            << QStringList{"key ammo 9", "undo"} << kOpened << false << 1;
        QTest::newRow("New Key undone selects again what was selected")
            << QStringList{"5", "key ammo 9", "undo"} << kOpened << false << 5;
        QTest::newRow("New Key undone and redone by keys on the tree")
            << QStringList{"key ammo 9", "Ctrl+Z", "Ctrl+Shift+Z"}
            << QByteArray("H\\a\\1\\b\\2\\ammo\\9\r\n") << true << 6;
        QTest::newRow("Ctrl+Y redoes too, from the value box")
            << QStringList{"key ammo 9", "box", "Ctrl+Z", "Ctrl+Y"}
            << QByteArray("H\\a\\1\\b\\2\\ammo\\9\r\n") << true << 6;
        QTest::newRow("typing at both ends of a long value is one step")
            << QStringList{"3",      "box", "paste long", "5",         "3",         "box", "Home",
                           "type y", "End", "type z",     "Backspace", "Backspace", "undo"}
            << "H\\a\\1" + kLong + "\\b\\2\r\n"
            << true << 3;
        QTest::newRow("F2 on a long value edits it in the value box")
            << QStringList{"3",    "box", "paste long", "5",      "3",
                           "tree", "F2",  "Home",       "type y", "Escape"}
            << "H\\a\\y1" + kLong + "\\b\\2\r\n"
            << true << 3;
        QTest::newRow("Ctrl+Z and Ctrl+Y from the long box")
            << QStringList{"3",    "box",    "paste long", "5",      "3",     "box",
                           "Home", "type y", "Ctrl+Z",     "Ctrl+Y", "Ctrl+Z"}
            << "H\\a\\1" + kLong + "\\b\\2\r\n"
            << true << 3;
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
        QTEST(int(w.form.tree().selected()), "selected");
        QCOMPARE(value_box_text(w.form), w.form.tree().text(w.form.tree().selected()));
        QCOMPARE(w.tool(3), QStringList());
        QCOMPARE(bytes_of(w.path), saved);
    }

    // Typing, in-place edits left open, New Key, Undo and Redo, checked after every step against
    // a plain model, then saved. Rows without steps take them from a seeded generator.
    void edit_sequences_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("seed");
        QTest::newRow("Redo with an in-place edit open on another node")
            << QStringList{"3", "box X", "undo", "5", "F2", "edit NEW", "redo"} << 0;
        QTest::newRow("Undo with an in-place edit open on another node")
            << QStringList{"3", "box X", "undo", "5", "F2", "edit NEW", "undo"} << 0;
        QTest::newRow("Undo of New Key with an in-place edit open")
            << QStringList{"key", "3", "F2", "edit NEW", "undo"} << 0;
        QTest::newRow("Save with an in-place edit open")
            << QStringList{"3", "F2", "edit NEW", "save"} << 0;
        QTest::newRow("Collapse All and Expand All with an in-place edit open")
            << QStringList{"3", "F2", "edit NEW", "Ctrl+Shift+C", "Ctrl+Shift+E", "undo"} << 0;
        QTest::newRow("Find Next with an in-place edit open")
            << QStringList{"5", "F2", "edit NEW", "F3", "undo", "redo"} << 0;
        for (const int seed : {1, 2, 3, 4, 5, 6, 7, 8})
            QTest::newRow(qPrintable(QString("seed %1").arg(seed))) << QStringList() << seed;
    }
    void edit_sequences()
    {
        QFETCH(QStringList, steps);
        QFETCH(int, seed);
        Form1 form;
        QVERIFY(show_window(form));
        EditSequence sequence(form);
        QVERIFY2(sequence.failure().isEmpty(), qPrintable(sequence.failure()));
        QRandomGenerator random{quint32(seed)};
        for (int i = 0; i < (steps.isEmpty() ? 80 : steps.size()); ++i) {
            const QString step = steps.isEmpty() ? sequence.choose(quint8(random.generate()),
                                                                   quint8(random.generate()))
                                                 : steps[i];
            const QString found = sequence.run(step);
            QVERIFY2(found.isEmpty(), qPrintable(found));
        }
        const QString found = sequence.run("save");
        QVERIFY2(found.isEmpty(), qPrintable(found));
    }

    // The edit is typed into the value box, or left open in the in-place editor.
    void question_before_discarding_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("saveFails");
        QTest::addColumn<bool>("inPlace");
        for (const char *command :
             {"Exit", "close box", "Open", "Open from Archive", "recent file", "drop"}) {
            for (const auto &[answer, fails] : {std::pair{"Save", false},
                                                {"Save", true},
                                                {"Discard", false},
                                                {"Cancel", false},
                                                {"Enter", false}}) {
                const QString name =
                    QString("%1, %2%3").arg(command, answer, fails ? " that fails" : "");
                QTest::newRow(qPrintable(name)) << command << answer << fails << false;
            }
            QTest::newRow(qPrintable(QString("%1, Save, in-place edit open").arg(command)))
                << command << "Save" << false << true;
        }
    }
    void question_before_discarding()
    {
        QFETCH(QString, command);
        QFETCH(QString, answer);
        QFETCH(bool, saveFails);
        QFETCH(bool, inPlace);
        OpenWindow w(kOpened);
        if (inPlace) {
            for (const char *step : {"3", "tree", "F2", "End", "type 7"})
                run(w, step);
        } else {
            edit(w);
        }
        if (saveFails) // straight into the tree: the file cannot keep a backslash
            w.form.tree().setText(5, "2\\x");
        QMimeData dropped;
        dropped.setUrls({QUrl::fromLocalFile(w.path)});
        const QStringList seen = answer_modals({answer}, [&] {
            if (command == "Exit" || command == "close box")
                command == "Exit" ? action(w.form, "mnuExit")->trigger() : void(w.form.close());
            else if (command == "Open")
                action(w.form, "mnuOpen")->trigger(); // the dialog after the question: cancelled
            else if (command == "Open from Archive")
                action(w.form, "mnuOpenArchive")->trigger();
            else if (command == "recent file") // the file itself, opened last
                action(w.form, "mnuRecent1")->trigger();
            else if (drag_and_drop(tree_view(w.form)->viewport(), dropped))
                for (int i = 0; i < 10; ++i) // the drop opens once its own event is done
                    QCoreApplication::processEvents();
        });
        const QString file = QDir::toNativeSeparators(w.path);
        QVERIFY2(seen.value(0).contains("has changes") && seen.value(0).contains(file),
                 qPrintable(seen.join(" | ")));
        const bool goesOn = answer == "Discard" || (answer == "Save" && !saveFails);
        const bool saved = answer == "Save" && !saveFails;
        QCOMPARE(bytes_of(w.path), saved ? QByteArray("H\\a\\17\\b\\2\r\n") : kOpened);
        const bool dialog = command.startsWith("Open");
        QCOMPARE(seen.size(), saveFails || (goesOn && dialog) ? 2 : 1);
        if (saveFails)
            QVERIFY2(seen[1].contains("was not saved"), qPrintable(seen[1]));
        const bool reopened = goesOn && (command == "recent file" || command == "drop");
        if (command == "Exit" || command == "close box") {
            QCOMPARE(w.form.isVisible(), !goesOn);
        } else { // the document is kept, saved, or read again from the file
            QCOMPARE(w.form.tree().text(3), reopened && !saved ? "1" : "17");
            QCOMPARE(w.form.isWindowModified(), !saved && !reopened);
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
