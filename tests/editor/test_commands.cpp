#include "modal_answer.h"

#include <csignal>
#include <sys/resource.h>

using namespace window_driver;
using modal_answer::Window;

namespace
{

QByteArray weapon_line(int pairs)
{
    QByteArray line = "H";
    for (int i = 1; i <= pairs; ++i)
        line += "\\k" + QByteArray::number(i) + "\\v" + QByteArray::number(i);
    return line;
}

QByteArray bytes_of(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Each node's text, "+" when open, "<" when selected, "!" where the view disagrees with the tree.
QString shape(Form1 &form)
{
    const WeaponTree &tree = form.tree();
    const TreeView *tv = tree_view(form);
    QString text;
    for (int i = 1; i <= tree.count(); ++i) {
        const auto node = NodeIndex(i);
        const QModelIndex index = model_index(form, node);
        const bool open = tree.expanded(node) && tree.childCount(node) > 0;
        const bool selected = tree.selected() == node;
        const bool agrees = (tv->isExpanded(index) && tree.childCount(node) > 0) == open &&
                            (tv->currentIndex() == index) == selected;
        text += tree.text(node) + (open ? "+" : "") + (selected ? "<" : "") + (agrees ? " " : "! ");
    }
    return text.trimmed();
}

// A refused command, with the text put into node 3 first and the file size limit or none.
struct Refusal {
    int pairs, button;
    QStringList answers;
    QString reason; // empty: no message at all
    QString put = {};
    bool limit = false;
};

// The node clicked, the tool-bar positions clicked (5 Expand All, 6 Collapse All), the outcome.
struct Expand {
    int selected;
    QList<int> buttons;
    QString shape;
};

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    // Past the file size limit a write is to fail, not end the process.
    void initTestCase() { std::signal(SIGXFSZ, SIG_IGN); }

    void open_edit_new_key_save_and_exit()
    {
        Window w("Pistol\\damage\\12\\range\\300\r\nnext\r\n");
        click_node(w.form, 3);
        auto *text2 = control<QLineEdit>(w.form, "Text2");
        QTest::keyClick(text2, Qt::Key_End);
        QTest::keyClicks(text2, "5");
        const QStringList prompts = {"New Key", "Key Value"};
        QCOMPARE(w.tool(8, {"ammo", "9mm"}), prompts);
        QCOMPARE(w.tool(8, {"bolt"}), prompts); // the value prompt cancelled: an empty value
        QCOMPARE(w.tool(3), QStringList());
        const QByteArray saved = "Pistol\\damage\\125\\range\\300\\ammo\\9mm\\bolt\\\r\n";
        QCOMPARE(bytes_of(w.path), saved);
        w.form.tree().setText(3, "7"); // Exit must not write an edit the user did not save.
        QCOMPARE(modal_answer::run({}, [&] { control<QAction>(w.form, "mnuExit")->trigger(); }),
                 QStringList());
        QVERIFY(!w.form.isVisible());
        QCOMPARE(bytes_of(w.path), saved);
    }

    void failed_open_leaves_no_document_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // null: no such file
        QTest::newRow("missing file") << QByteArray();
        QTest::newRow("key without value") << QByteArray("H\\a\\1\\b");
        QTest::newRow("too many tokens") << weapon_line(16384);
    }
    void failed_open_leaves_no_document()
    {
        QFETCH(QByteArray, bytes);
        Window w("G\\k\\v\r\n");
        const QString bad = w.dir.filePath("bad.txt");
        if (QFile file(bad); !bytes.isNull() && file.open(QIODevice::WriteOnly))
            file.write(bytes);
        QCOMPARE(w.tool(1, {bad}), QStringList{"Open Weapon File"});
        QCOMPARE(w.form.openPath(), QString());
        QCOMPARE(node_texts(w.form), QString());
        QCOMPARE(w.tool(3), QStringList());
        QCOMPARE(bytes_of(bad), bytes);
        QCOMPARE(bytes_of(w.path), "G\\k\\v\r\n");
    }

    void refusal_changes_nothing_data()
    {
        QTest::addColumn<Refusal>("r");
        QTest::newRow("save past the file size limit")
            << Refusal{1, 3, {}, "too large", "13", true};
        QTest::newRow("save of a backslash put into the tree")
            << Refusal{1, 3, {}, "backslash", "1\\3"};
        QTest::newRow("new key with an empty name") << Refusal{2, 8, {"", "v"}, ""};
        QTest::newRow("new key named as another key") << Refusal{2, 8, {"k2", "v"}, "in use"};
        QTest::newRow("new key named as the header") << Refusal{2, 8, {"H", "v"}, "in use"};
        QTest::newRow("new key with a backslash") << Refusal{2, 8, {"a\\b", "v"}, "backslash"};
        QTest::newRow("new key, tree full") << Refusal{16383, 8, {"a", "v"}, "as many keys"};
    }
    void refusal_changes_nothing()
    {
        QFETCH(Refusal, r);
        Window w(weapon_line(r.pairs));
        if (!r.put.isEmpty()) // straight into the tree: the editors would not let a backslash in
            w.form.tree().setText(3, r.put);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const rlimit lowered{r.limit ? 4 : old.rlim_cur, old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &lowered);
        const QStringList seen = w.tool(r.button, r.answers);
        setrlimit(RLIMIT_FSIZE, &old);
        const QString file = r.button == 3 ? QDir::toNativeSeparators(w.path) : "";
        QVERIFY2(seen.size() == (r.reason.isEmpty() ? 1 : r.answers.size() + 1) &&
                     seen.last().contains(file) && seen.last().contains(r.reason),
                 qPrintable(seen.join(" | ")));
        QCOMPARE(w.form.tree().count(), 2 * r.pairs + 1);
        QCOMPARE(bytes_of(w.path), weapon_line(r.pairs));
    }

    void expand_and_collapse_all_data()
    {
        QTest::addColumn<Expand>("e");
        QTest::newRow("collapse, root selected") << Expand{1, {6}, "H< k1 v1 k2 v2"};
        QTest::newRow("collapse, key selected") << Expand{2, {6}, "H+ k1< v1 k2 v2"};
        QTest::newRow("collapse, value selected") << Expand{5, {6}, "H+ k1 v1 k2+ v2<"};
        QTest::newRow("expand, value selected") << Expand{3, {6, 5}, "H+ k1+ v1< k2+ v2"};
        QTest::newRow("position 2 is no button") << Expand{5, {6, 2}, "H+ k1 v1 k2+ v2<"};
        QTest::newRow("position 4 is no button") << Expand{5, {6, 4}, "H+ k1 v1 k2+ v2<"};
        QTest::newRow("position 7 is no button") << Expand{5, {7}, "H+ k1+ v1 k2+ v2<"};
    }
    void expand_and_collapse_all()
    {
        QFETCH(Expand, e);
        Window w(weapon_line(2));
        click_node(w.form, NodeIndex(e.selected));
        for (const int button : e.buttons)
            QCOMPARE(w.tool(button), QStringList());
        QCOMPARE(shape(w.form), e.shape);
    }
};

QTEST_MAIN(TestCommands)
#include "test_commands.moc"
