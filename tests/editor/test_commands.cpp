#include "modal_answer.h"

#include <csignal>
#include <sys/resource.h>

using namespace window_driver;
using namespace modal_answer;

namespace
{

const QString kOpenDialog = QStringLiteral("QFileDialog Open Weapon File");
const QString kNamePrompt = QStringLiteral("QInputDialog New Key");
const QString kValuePrompt = QStringLiteral("QInputDialog Key Value");

QByteArray bytes_of(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// Two spaces a level; "*" marks a bold node, "+" an open one, "<" the selected one, as the tree
// holds them or as the view shows them.
QString tree_text(Window &w, bool view = false)
{
    const WeaponTree &tree = w.form.tree();
    QStringList lines;
    for (int i = 1; i <= tree.count(); ++i) {
        const auto node = NodeIndex(i);
        const QModelIndex index = model_index(w.form, node);
        const bool open = view ? w.tv->isExpanded(index) : tree.expanded(node);
        const bool selected = view ? w.tv->currentIndex() == index : tree.selected() == node;
        QString line = tree.text(node) + (tree.bold(node) ? "*" : "") +
                       (open && tree.childCount(node) > 0 ? "+" : "") + (selected ? "<" : "");
        for (NodeIndex up = tree.parent(node); up != 0; up = tree.parent(up))
            line.prepend("  ");
        lines << line;
    }
    return lines.join(u'\n');
}

// Everything a command could change that the user sees, in one text.
QString state(Window &w)
{
    return w.form.openPath() + '\n' + tree_text(w) + '\n' +
           control<QLabel>(w.form, "Label2")->text() + " [" + w.text2->text() +
           (w.text2->isReadOnly() ? "] read-only" : "] editable");
}

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { std::signal(SIGXFSZ, SIG_IGN); }

    void open_edit_new_key_save_and_exit()
    {
        Window w;
        const QString path = w.write("pistol.txt", "Pistol\\damage\\12\\range\\300\r\nnext\r\n");
        QCOMPARE(w.menu("mnuOpen", {path}), QStringList{kOpenDialog});
        QCOMPARE(state(w), path + "\nPistol+<\n  damage*+\n    12\n  range*+\n    300\n"
                                  "Value (Not Modifiable) [Pistol] read-only");
        click_node(w.form, 3);
        QTest::keyClick(w.text2, Qt::Key_End);
        QTest::keyClicks(w.text2, "5");
        QCOMPARE(w.tool(8, {"ammo", "9mm"}), QStringList({kNamePrompt, kValuePrompt}));
        QCOMPARE(w.menu("mnuSave"), QStringList());
        QCOMPARE(bytes_of(path), "Pistol\\damage\\125\\range\\300\\ammo\\9mm\r\n");
        click_node(w.form, 5);
        QTest::keyClick(w.text2, Qt::Key_End);
        QTest::keyClicks(w.text2, "0");
        QCOMPARE(w.tool(3), QStringList());
        const QByteArray saved = "Pistol\\damage\\125\\range\\3000\\ammo\\9mm\r\n";
        QCOMPARE(bytes_of(path), saved);

        // The next Open starts on this file; cancelled, it changes nothing.
        const QString before = state(w);
        QCOMPARE(w.tool(1, {kEscape}), QStringList{kOpenDialog + " on " + path});
        QCOMPARE(state(w), before);

        QTest::keyClicks(w.text2, "1");
        QCOMPARE(w.menu("mnuExit"), QStringList());
        QTRY_VERIFY(!w.form.isVisible());
        QCOMPARE(bytes_of(path), saved);
    }

    void without_a_document_commands_do_nothing_data()
    {
        QTest::addColumn<QByteArray>("failed"); // the file whose Open failed; null: none tried
        QTest::addColumn<int>("button");        // 0: Save from the File menu
        QTest::newRow("new window, Save") << QByteArray() << 0;
        QTest::newRow("new window, Collapse All") << QByteArray() << 6;
        QTest::newRow("new window, New Key") << QByteArray() << 8;
        QTest::newRow("no such file, Save") << QByteArray("") << 0;
        QTest::newRow("empty first line, Save") << QByteArray("\r\nH\\k\\v\r\n") << 0;
        QTest::newRow("key repeated after a pair, Save button")
            << QByteArray("H\\a\\1\\b\\2\\a\\3") << 3;
    }
    void without_a_document_commands_do_nothing()
    {
        QFETCH(QByteArray, failed);
        QFETCH(int, button);
        Window w(failed.isNull() ? "" : "G\\k\\v\r\n");
        if (!failed.isNull()) {
            const QString bad = failed.isEmpty() ? w.dir.filePath("none") : w.write("bad", failed);
            click_node(w.form, 3);
            QCOMPARE(w.menu("mnuOpen", {bad}), QStringList{kOpenDialog + " on " + w.path});
        }
        QCOMPARE(button ? w.tool(button) : w.menu("mnuSave"), QStringList());
        QCOMPARE(state(w), "\n\nValue: [] editable");
        QCOMPARE(bytes_of(w.path), failed.isNull() ? "(unreadable)" : "G\\k\\v\r\n");
    }

    void failed_save_keeps_the_file_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("button"); // 0: the File menu
        QTest::addColumn<QString>("reason");
        QTest::newRow("file size limit, menu") << "limit" << 0 << "too large";
        QTest::newRow("folder at the path, button") << "folder" << 3 << "directory";
        QTest::newRow("backslash put in the tree, button") << "backslash" << 3 << "backslash";
    }
    void failed_save_keeps_the_file()
    {
        QFETCH(QString, fault);
        QFETCH(int, button);
        QFETCH(QString, reason);
        Window w("H\\k\\12\r\n");
        // Straight into the tree: the editors would not let a backslash in.
        w.form.tree().setText(3, fault == "backslash" ? "1\\3" : "13");
        if (fault == "folder")
            QVERIFY(QFile::remove(w.path) && QDir().mkdir(w.path));
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const rlimit lowered{fault == "limit" ? 4 : old.rlim_cur, old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &lowered);
        const QStringList seen = button ? w.tool(button) : w.menu("mnuSave");
        setrlimit(RLIMIT_FSIZE, &old);
        QCOMPARE(seen.size(), 1);
        QVERIFY2(seen[0].startsWith("QMessageBox") &&
                     seen[0].contains(QDir::toNativeSeparators(w.path)) &&
                     seen[0].contains(reason, Qt::CaseInsensitive),
                 qPrintable(seen[0]));
        QCOMPARE(bytes_of(w.path), fault == "folder" ? "(unreadable)" : "H\\k\\12\r\n");
    }

    void new_key_appends_a_pair_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value"); // Escape: the second prompt cancelled
        QTest::addColumn<QByteArray>("written");
        const auto row = [](const char *title, const QByteArray &line, const QString &name,
                            const QString &value, const QByteArray &written) {
            QTest::newRow(title) << line << name << value << written;
        };
        const QByteArray line = weapon_line(1);
        row("plain", line, "ammo", "9mm", "\\ammo\\9mm");
        row("header alone", "H", "ammo", "9mm", "\\ammo\\9mm");
        row("second prompt cancelled", line, "ammo", kEscape, "\\ammo\\");
        row("blanks kept as typed", line, " ammo ", " 9 mm ", "\\ ammo \\ 9 mm ");
        row("name that is a value's text", line, "v1", "x", "\\v1\\x");
        row("windows-1252 letters", line, "\u00E9p\u00E9e", "\u20AC 5 \u0152",
            "\\\xE9p\xE9\x65\\\x80 5 \x8C");
    }
    void new_key_appends_a_pair()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(QByteArray, written);
        Window w(line);
        const int n = w.form.tree().count() / 2;
        QCOMPARE(w.tool(8, {name, value}), QStringList({kNamePrompt, kValuePrompt}));
        QCOMPARE(w.form.tree().count(), 2 * n + 3);
        const QString typed = value == kEscape ? "" : value;
        QVERIFY(tree_text(w).endsWith("\n  " + name + "*+<\n    " + typed));
        QVERIFY(state(w).endsWith("Value (Not Modifiable) [" + name + "] read-only"));
        QCOMPARE(w.form.focusWidget(), w.tv);
        w.menu("mnuSave");
        QCOMPARE(bytes_of(w.path), line + written + "\r\n");
    }

    void new_key_adds_nothing_data()
    {
        QTest::addColumn<int>("pairs");
        QTest::addColumn<QString>("name"); // Escape: the first prompt cancelled
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("reason"); // empty: no second prompt, no message
        const auto row = [](const char *title, int pairs, const QString &name, const QString &value,
                            const QString &reason) {
            QTest::newRow(title) << pairs << name << value << reason;
        };
        row("empty name", 2, "", "v", "");
        row("first prompt cancelled", 2, kEscape, "v", "");
        row("name of another key", 2, "k2", "v", "already in use");
        row("name of the header", 2, "H", "v", "already in use");
        row("backslash in the name", 2, "a\\b", "v", "backslash");
        row("carriage return in the value", 2, "ammo", "9\rmm", "line break");
        row("name outside the code page", 2, "\u03A9", "v", "\u03A9");
        row("tree already full", 16383, "ammo", "v", "no key can be added");
    }
    void new_key_adds_nothing()
    {
        QFETCH(int, pairs);
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(QString, reason);
        Window w(weapon_line(pairs));
        click_node(w.form, 3);
        const QString before = state(w);
        const QStringList seen = w.tool(8, {name, value});
        const QString refusal = "QMessageBox New Key: The key was not added.\n\n";
        if (reason.isEmpty())
            QCOMPARE(seen, QStringList{kNamePrompt});
        else
            QVERIFY2(seen.size() == 3 && seen[2].startsWith(refusal) && seen[2].contains(reason),
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
        // Any command would show: the file saved, a window up, or the keys opened or closed.
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
        const QString panel = state(w).section('\n', -1);
        for (const int button : buttons)
            QCOMPARE(w.tool(button), QStringList());
        QCOMPARE(tree_text(w), tree);
        QCOMPARE(tree_text(w, true), tree);
        QCOMPARE(state(w).section('\n', -1), panel);
        QCOMPARE(bytes_of(w.path), weapon_line(3));
    }
};

QTEST_MAIN(TestCommands)
#include "test_commands.moc"
