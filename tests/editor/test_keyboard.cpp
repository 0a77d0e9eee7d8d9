#include "modal_answer.h"

using namespace window_driver;

namespace
{

// Nodes: 1 H, 2 a, 3 "1" (set to "9" before the keys), 4 b, 5 "2".
const QByteArray kPairs = "H\\a\\1\\b\\2";

QString focus_name()
{
    const QWidget *focus = QApplication::focusWidget();
    return focus ? focus->objectName() : QStringLiteral("none");
}

// What a command can have changed, in one line.
QString outcome(OpenWindow &w, const QStringList &seen)
{
    QStringList open;
    for (int node = 1; node <= w.form.tree().count(); ++node)
        if (w.form.tree().childCount(NodeIndex(node)) > 0 &&
            tree_view(w.form)->isExpanded(model_index(w.form, NodeIndex(node))))
            open << QString::number(node);
    const auto *text3 = control<QLineEdit>(w.form, "Text3");
    return QStringLiteral("%1| %2 nodes, node %3 selected, open [%4] | focus %5 [%6] | file %7")
        .arg(seen.join(", "))
        .arg(w.form.tree().count())
        .arg(w.form.tree().selected())
        .arg(open.join(' '))
        .arg(w.form.isVisible() ? focus_name() : "none", text3->selectedText(),
             QString::fromLatin1(bytes_of(w.path)));
}

} // namespace

class TestKeyboard : public QObject
{
    Q_OBJECT

private slots:
    // The search box holds "2" with Search Value ticked; node 1 is selected. After a modal
    // window the offscreen platform gives the focus back to no one.
    void shortcuts_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QString>("outcome");
        const QString saved = "file H\\a\\9\\b\\2\r\n", untouched = "file H\\a\\1\\b\\2";
        const auto row = [](const char *name, const char *focus, const QKeySequence &keys,
                            const QString &outcome, const QStringList &answers = {}) {
            QTest::newRow(name) << focus << keys << answers << outcome;
        };
        row("Ctrl+O opens another file", "Tv", QKeySequence("Ctrl+O"),
            "Open Weapon File| 3 nodes, node 1 selected, open [1 2] | focus none [] | " + untouched,
            {"other.txt"});
        row("Ctrl+Shift+O asks for an archive", "Tv", QKeySequence("Ctrl+Shift+O"),
            "Open from Archive| 5 nodes, node 1 selected, open [1 2 4] | focus none [] | " +
                untouched);
        row("F1 shows the About window and its usage text", "Tv", QKeySequence("F1"),
            "About Armsmith| 5 nodes, node 1 selected, open [1 2 4] | focus none [] | " +
                untouched);
        row("Ctrl+S saves from the value box", "Text2", QKeySequence("Ctrl+S"),
            "| 5 nodes, node 1 selected, open [1 2 4] | focus Text2 [] | " + saved);
        row("Ctrl+Q exits without saving", "Tv", QKeySequence("Ctrl+Q"),
            "| 5 nodes, node 1 selected, open [1 2 4] | focus none [] | " + untouched);
        row("Ctrl+N adds a key", "Tv", QKeySequence("Ctrl+N"),
            "New Key, Key Value| 7 nodes, node 6 selected, open [1 2 4 6] | focus none [] | " +
                untouched,
            {"c", "3"});
        row("Ctrl+F selects the search text", "Tv", QKeySequence("Ctrl+F"),
            "| 5 nodes, node 1 selected, open [1 2 4] | focus Text3 [2] | " + untouched);
        row("F3 searches from the value box", "Text2", QKeySequence("F3"),
            "| 5 nodes, node 5 selected, open [1 2 4] | focus Tv [] | " + untouched);
        row("Enter in the search box searches", "Text3", QKeySequence("Return"),
            "| 5 nodes, node 5 selected, open [1 2 4] | focus Tv [] | " + untouched);
        row("Ctrl+Shift+C collapses from the search box", "Text3", QKeySequence("Ctrl+Shift+C"),
            "| 5 nodes, node 1 selected, open [] | focus Text3 [] | " + untouched);
        row("Ctrl+Shift+E expands again", "Text2", QKeySequence("Ctrl+Shift+C, Ctrl+Shift+E"),
            "| 5 nodes, node 1 selected, open [1 2 4] | focus Text2 [] | " + untouched);
    }
    void shortcuts()
    {
        QFETCH(QString, focus);
        QFETCH(QKeySequence, keys);
        QFETCH(QStringList, answers);
        QFETCH(QString, outcome);
        OpenWindow w(kPairs);
        if (QFile file(w.dir.filePath("other.txt")); file.open(QIODevice::WriteOnly))
            file.write("G\\k\\v");
        for (QString &answer : answers)
            answer.replace("other.txt", w.dir.filePath("other.txt"));
        w.form.activateWindow(); // the Open dialog has just taken the activation away
        QVERIFY(QTest::qWaitForWindowActive(&w.form));
        w.form.tree().setText(3, "9"); // written only by a save
        click_node(w.form, 1);
        control<QCheckBox>(w.form, "Check1")->setChecked(true);
        control<QLineEdit>(w.form, "Text3")->setText("2");
        control(w.form, qPrintable(focus))->setFocus();
        QTRY_COMPARE(focus_name(), focus);
        const QStringList seen = answer_modals(answers, [&] {
            for (int i = 0; i < keys.count(); ++i)
                QTest::keyClick(w.form.windowHandle(), keys[i].key(), keys[i].keyboardModifiers());
        });
        QCOMPARE(::outcome(w, seen), outcome);
    }

    // A command takes the platform's keys for it, and keys the platform gives no meaning; no two
    // commands share a key. In the menu bar and in every menu, each item has an access letter of
    // its own.
    void keys_clash_with_nothing()
    {
        Form1 form;
        QList<QList<QKeySequence>> standard;
        QList<QKeySequence> meaningful, used;
        for (int key = QKeySequence::HelpContents; key <= QKeySequence::Cancel; ++key) {
            standard << QKeySequence::keyBindings(QKeySequence::StandardKey(key));
            meaningful << standard.last();
        }
        QStringList clashes;
        for (const QAction *action : form.findChildren<QAction *>()) {
            QList<QKeySequence> own; // the platform's keys for this command
            for (const QList<QKeySequence> &keys : standard)
                if (!keys.isEmpty() && std::ranges::all_of(keys, [&](const QKeySequence &k) {
                        return action->shortcuts().contains(k);
                    }))
                    own << keys;
            for (const QKeySequence &keys : action->shortcuts()) {
                if (used.contains(keys) || (!own.contains(keys) && meaningful.contains(keys)))
                    clashes << action->objectName() + " " + keys.toString();
                used << keys;
            }
        }
        QList<const QWidget *> menus{form.menuBar()};
        for (const QMenu *menu : form.findChildren<QMenu *>())
            menus << menu;
        for (const QWidget *menu : menus) {
            QList<QKeySequence> letters;
            for (const QAction *item : menu->actions()) {
                const QKeySequence letter = QKeySequence::mnemonic(item->text());
                if (!item->isSeparator() && (letter.isEmpty() || letters.contains(letter)))
                    clashes << (menu == form.menuBar() ? "menu bar" : menu->objectName()) + " " +
                                   item->text();
                letters << letter;
            }
        }
        QCOMPARE(clashes, QStringList());
    }

    void tree_has_the_focus_at_start()
    {
        Form1 form;
        QVERIFY(show_window(form));
        QTRY_COMPARE(QApplication::focusWidget(), tree_view(form));
    }

    // A click below the last row keeps the selection, its highlight, and what the box edits.
    void click_below_the_rows()
    {
        OpenWindow w(kPairs);
        click_node(w.form, 3);
        TreeView *tv = tree_view(w.form);
        const QRect last = tv->visualRect(model_index(w.form, 5));
        QTest::mouseClick(tv->viewport(), Qt::LeftButton, {}, last.center() + QPoint(0, 20));
        QCOMPARE(tv->selectionModel()->selectedIndexes(), QModelIndexList{model_index(w.form, 3)});
        QTest::mouseClick(control(w.form, "Text2"), Qt::LeftButton);
        QTest::keyClick(control(w.form, "Text2"), Qt::Key_End);
        QTest::keyClicks(control(w.form, "Text2"), "x");
        QCOMPARE(node_texts(w.form), "H\na\n1x\nb\n2");
    }
};

QTEST_MAIN(TestKeyboard)
#include "test_keyboard.moc"
