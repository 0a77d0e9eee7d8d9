#include "modal_answer.h"

#include <csignal>
#include <sys/resource.h>

using namespace window_driver;
using namespace modal_answer;

namespace
{

const QString kOpenDialog = QStringLiteral("QFileDialog Open Weapon File");
const QStringList kPrompts = {"QInputDialog New Key", "QInputDialog Key Value"};

QByteArray bytes_of(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// Everything a command could change that the user sees, in one text: the open path; the tree,
// two spaces a level, "*" marking a bold node, "+" an open one, "<" the selected one, "!" one the
// view shows otherwise than the tree holds it; the value panel.
QString state(Window &w)
{
    const WeaponTree &tree = w.form.tree();
    QString text = w.form.openPath() + '\n';
    for (int i = 1; i <= tree.count(); ++i) {
        const auto node = NodeIndex(i);
        const QModelIndex index = model_index(w.form, node);
        const bool open = tree.expanded(node) && tree.childCount(node) > 0;
        const bool selected = tree.selected() == node;
        const bool agrees = (w.tv->isExpanded(index) && tree.childCount(node) > 0) == open &&
                            (w.tv->currentIndex() == index) == selected;
        for (NodeIndex up = tree.parent(node); up != 0; up = tree.parent(up))
            text += "  ";
        text += tree.text(node) + (tree.bold(node) ? "*" : "") + (open ? "+" : "") +
                (selected ? "<" : "") + (agrees ? "\n" : "!\n");
    }
    return text + control<QLabel>(w.form, "Label2")->text() + " [" + w.text2->text() +
           (w.text2->isReadOnly() ? "] read-only" : "] editable");
}

struct NewKey {
    int pairs;
    QString name, value; // value Escape: the second prompt cancelled
    QByteArray written;
};

struct Refused {
    int pairs;
    QString name, value; // name Escape: the first prompt cancelled
    QString reason;      // empty: no second prompt, no message
};

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    // Past the file size limit a write is to fail, not end the process.
    void initTestCase() { std::signal(SIGXFSZ, SIG_IGN); }

    void open_edit_new_key_and_save()
    {
        Window w;
        const QString path = w.write("pistol.txt", "Pistol\\damage\\12\\range\\300\r\nnext\r\n");
        QCOMPARE(w.menu("mnuOpen", {path}), QStringList{kOpenDialog});
        QCOMPARE(state(w), path + "\nPistol+<\n  damage*+\n    12\n  range*+\n    300\n"
                                  "Value (Not Modifiable) [Pistol] read-only");
        click_node(w.form, 3);
        QTest::keyClick(w.text2, Qt::Key_End);
        QTest::keyClicks(w.text2, "5");
        QCOMPARE(w.tool(8, {"ammo", "9mm"}), kPrompts);
        // The next Open starts on this file; cancelled, it changes nothing.
        const QString before = state(w);
        QCOMPARE(w.tool(1, {kEscape}), QStringList{kOpenDialog + " on " + path});
        QCOMPARE(state(w), before);
        QCOMPARE(w.tool(3), QStringList());
        QCOMPARE(bytes_of(path), "Pistol\\damage\\125\\range\\300\\ammo\\9mm\r\n");
        // Exit asks nothing, closes and leaves the file as it was, an edit not saved included.
        w.form.tree().setText(3, "7");
        QCOMPARE(w.menu("mnuExit"), QStringList());
        QVERIFY(!w.form.isVisible());
        QCOMPARE(bytes_of(path), "Pistol\\damage\\125\\range\\300\\ammo\\9mm\r\n");
    }

    void failed_open_leaves_no_document_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // null: no such file
        QTest::newRow("no such file") << QByteArray();
        QTest::newRow("empty first line") << QByteArray("\r\nH\\k\\v\r\n");
        QTest::newRow("key repeated after a pair") << QByteArray("H\\a\\1\\b\\2\\a\\3");
    }
    void failed_open_leaves_no_document()
    {
        QFETCH(QByteArray, bytes);
        Window w("G\\k\\v\r\n");
        click_node(w.form, 3);
        const QString bad = bytes.isNull() ? w.dir.filePath("none") : w.write("bad", bytes);
        QCOMPARE(w.menu("mnuOpen", {bad}), QStringList{kOpenDialog + " on " + w.path});
        for (const int button : {3, 5, 6, 8}) // Save, Expand All, Collapse All, New Key
            QCOMPARE(w.tool(button), QStringList());
        QCOMPARE(state(w), "\nValue: [] editable");
        QCOMPARE(bytes_of(bad), bytes.isNull() ? "(unreadable)" : bytes);
    }

    void failed_save_keeps_the_file_data()
    {
        QTest::addColumn<bool>("limit"); // else a backslash put in the tree
        QTest::addColumn<QString>("reason");
        QTest::newRow("file size limit") << true << "too large";
        QTest::newRow("backslash put in the tree") << false << "backslash";
    }
    void failed_save_keeps_the_file()
    {
        QFETCH(bool, limit);
        QFETCH(QString, reason);
        Window w("H\\k\\12\r\n");
        // Straight into the tree: the editors would not let a backslash in.
        w.form.tree().setText(3, limit ? "13" : "1\\3");
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const rlimit lowered{limit ? 4 : old.rlim_cur, old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &lowered);
        const QStringList seen = w.menu("mnuSave");
        setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY2(seen.size() == 1 && seen[0].startsWith("QMessageBox") &&
                     seen[0].contains(QDir::toNativeSeparators(w.path)) &&
                     seen[0].contains(reason, Qt::CaseInsensitive),
                 qPrintable(seen.join(" | ")));
        QCOMPARE(bytes_of(w.path), "H\\k\\12\r\n");
    }

    void new_key_appends_a_pair_data()
    {
        QTest::addColumn<NewKey>("k");
        QTest::newRow("header alone, windows-1252 letters")
            << NewKey{0, "\u00E9p\u00E9e", "\u20AC 5 \u0152", "\\\xE9p\xE9\x65\\\x80 5 \x8C"};
        QTest::newRow("second prompt cancelled") << NewKey{1, "ammo", kEscape, "\\ammo\\"};
        QTest::newRow("blanks kept as typed") << NewKey{1, " ammo ", " 9 mm ", "\\ ammo \\ 9 mm "};
        QTest::newRow("name that is a value's text") << NewKey{1, "v1", "x", "\\v1\\x"};
    }
    void new_key_appends_a_pair()
    {
        QFETCH(NewKey, k);
        Window w(weapon_line(k.pairs));
        QCOMPARE(w.tool(8, {k.name, k.value}), kPrompts);
        QCOMPARE(w.form.tree().count(), 2 * k.pairs + 3);
        QCOMPARE(state(w).section('\n', -3), "  " + k.name + "*+<\n    " + k.value.remove(kEscape) +
                                                 "\nValue (Not Modifiable) [" + k.name +
                                                 "] read-only");
        QCOMPARE(w.form.focusWidget(), w.tv);
        w.menu("mnuSave");
        QCOMPARE(bytes_of(w.path), weapon_line(k.pairs) + k.written + "\r\n");
    }

    void new_key_adds_nothing_data()
    {
        QTest::addColumn<Refused>("k");
        QTest::newRow("empty name") << Refused{2, "", "v", ""};
        QTest::newRow("first prompt cancelled") << Refused{2, kEscape, "v", ""};
        QTest::newRow("name of another key") << Refused{2, "k2", "v", "already in use"};
        QTest::newRow("name of the header") << Refused{2, "H", "v", "already in use"};
        QTest::newRow("backslash in the name") << Refused{2, "a\\b", "v", "backslash"};
        QTest::newRow("carriage return in the value") << Refused{2, "ammo", "9\rmm", "line break"};
        QTest::newRow("name outside the code page") << Refused{2, "\u03A9", "v", "\u03A9"};
        QTest::newRow("tree already full") << Refused{16383, "ammo", "v", "no key can be added"};
    }
    void new_key_adds_nothing()
    {
        QFETCH(Refused, k);
        Window w(weapon_line(k.pairs));
        click_node(w.form, 3);
        const QString before = state(w);
        const QStringList seen = w.tool(8, {k.name, k.value});
        if (k.reason.isEmpty())
            QCOMPARE(seen, QStringList{kPrompts[0]});
        else
            QVERIFY2(seen.size() == 3 && seen[2].startsWith("QMessageBox New Key: ") &&
                         seen[2].contains(k.reason),
                     qPrintable(seen.join(" | ")));
        QCOMPARE(state(w), before);
    }

    void tool_bar_expands_and_collapses_all_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<QList<int>>("buttons"); // 5 Expand All, 6 Collapse All
        QTest::addColumn<QString>("tree");
        const auto row = [](const char *name, int selected, QList<int> buttons, const char *tree) {
            QTest::newRow(name) << selected << buttons << QString(tree).replace('|', "\n");
        };
        row("collapse, root selected", 1, {6}, "H<|  k1*|    v1|  k2*|    v2|  k3*|    v3");
        row("collapse, key selected", 4, {6}, "H+|  k1*|    v1|  k2*<|    v2|  k3*|    v3");
        row("collapse, value selected", 5, {6}, "H+|  k1*|    v1|  k2*+|    v2<|  k3*|    v3");
        row("expand, value selected", 7, {6, 5}, "H+|  k1*+|    v1|  k2*+|    v2|  k3*+|    v3<");
        // Open would bring up its dialog; Expand All or Collapse All would change the tree.
        row("separator position 2", 5, {6, 2}, "H+|  k1*|    v1|  k2*+|    v2<|  k3*|    v3");
        row("separator position 4", 5, {6, 4}, "H+|  k1*|    v1|  k2*+|    v2<|  k3*|    v3");
        row("separator position 7", 5, {7}, "H+|  k1*+|    v1|  k2*+|    v2<|  k3*+|    v3");
    }
    void tool_bar_expands_and_collapses_all()
    {
        QFETCH(int, selected);
        QFETCH(QList<int>, buttons);
        QFETCH(QString, tree);
        Window w(weapon_line(3));
        click_node(w.form, NodeIndex(selected));
        for (const int button : buttons)
            QCOMPARE(w.tool(button), QStringList());
        QCOMPARE(state(w).section('\n', 1, -2), tree);
    }
};

QTEST_MAIN(TestCommands)
#include "test_commands.moc"
