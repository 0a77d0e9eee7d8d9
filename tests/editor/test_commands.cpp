#include "modal_answer.h"
#include "window_driver.h"

#include "editor/tool_bar.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include <csignal>
#include <optional>
#include <sys/resource.h>

using namespace window_driver;
using modal_answer::Answer;

namespace
{

const QString kOpenDialog = QStringLiteral("file dialog Open Weapon File");
const QString kNamePrompt = QStringLiteral("prompt New Key: New Key Name");
const QString kValuePrompt = QStringLiteral("prompt Key Value: New Key Value");
const QString kMessage = QStringLiteral("message");

// The document as indented text: two spaces a level, " *" after a bold node, " <" after the
// selected one.
QString tree_text(const WeaponTree &tree)
{
    QStringList lines;
    for (int i = 1; i <= tree.count(); ++i) {
        const auto node = NodeIndex(i);
        int depth = 0;
        for (NodeIndex up = tree.parent(node); up != 0; up = tree.parent(up))
            ++depth;
        QString line = QString(depth * 2, u' ') + tree.text(node);
        if (tree.bold(node))
            line += " *";
        if (tree.selected() == node)
            line += " <";
        lines << line;
    }
    return lines.join(u'\n');
}

// A weapon line with the header H and the given number of pairs k1\v1, k2\v2, ...
QByteArray weapon_line(int pairs)
{
    QByteArray line = "H";
    for (int i = 1; i <= pairs; ++i)
        line += "\\k" + QByteArray::number(i) + "\\v" + QByteArray::number(i);
    return line;
}

// Lowers the largest file this process may write, and puts it back when it goes.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit lowered{bytes, m_old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

// The main window on screen, with a folder for its files; each test builds its own.
struct Editor {
    QTemporaryDir dir;
    Form1 form;
    TreeView *tv = tree_view(form);
    QLineEdit *text2 = control<QLineEdit>(form, "Text2");
    QLabel *label2 = control<QLabel>(form, "Label2");

    Editor() { show_window(form); }

    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return {};
        return path;
    }

    static QByteArray bytes(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
    }

    QStringList menu(const char *name, const QList<Answer> &answers = {})
    {
        auto *action = form.findChild<QAction *>(QLatin1String(name));
        return modal_answer::run([action] { action->trigger(); }, answers);
    }

    QStringList tool(int index, const QList<Answer> &answers = {})
    {
        auto *toolbar = control<ToolBar>(form, "Toolbar1");
        auto *action =
            toolbar->findChild<QAction *>(QStringLiteral("Toolbar1_Button%1").arg(index));
        auto *button = qobject_cast<QToolButton *>(toolbar->widgetForAction(action));
        return modal_answer::run([button] { QTest::mouseClick(button, Qt::LeftButton); }, answers);
    }

    QStringList open(const QString &path)
    {
        return menu("mnuOpen", {modal_answer::choose_file(path)});
    }

    QStringList new_key(const QString &name, const QString &value)
    {
        return tool(8, {modal_answer::type_text(name), modal_answer::type_text(value)});
    }

    QString panel()
    {
        return QStringLiteral("%1 [%2] %3")
            .arg(label2->text(), text2->text(), text2->isReadOnly() ? "read-only" : "editable");
    }

    // Everything a command could change that the user sees, in one text.
    QString state() { return form.openPath() + '\n' + tree_text(form.tree()) + '\n' + panel(); }

    // The rows the view shows (not hidden under a collapsed node), by text.
    QString shown_rows()
    {
        QStringList shown;
        for (int node = 1; node <= form.tree().count(); ++node) {
            if (tv->visualRect(model_index(form, NodeIndex(node))).isValid())
                shown << form.tree().text(NodeIndex(node));
        }
        return shown.join(u' ');
    }

    // The nodes with children that are open, as the tree holds it and as the view shows it.
    QString open_nodes(bool inView)
    {
        QStringList open;
        const WeaponTree &tree = form.tree();
        for (int i = 1; i <= tree.count(); ++i) {
            const auto node = NodeIndex(i);
            if (tree.childCount(node) == 0)
                continue;
            if (inView ? tv->isExpanded(model_index(form, node)) : tree.expanded(node))
                open << tree.text(node);
        }
        return open.join(u' ');
    }
};

const QString kNoDocument = QStringLiteral("\n\nValue: [] editable");

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void open_edit_new_key_and_save()
    {
        Editor editor;
        const QString path =
            editor.write("pistol.txt", "Pistol\\damage\\12\\range\\300\r\nsecond line\r\n");
        QCOMPARE(editor.open(path), QStringList{kOpenDialog});
        QCOMPARE(editor.form.openPath(), path);
        QCOMPARE(control<QLabel>(editor.form, "Panel1Text")->text(), path);
        QCOMPARE(tree_text(editor.form.tree()), "Pistol <\n  damage *\n    12\n  range *\n    300");
        QCOMPARE(editor.tv->currentIndex(), model_index(editor.form, 1));
        QCOMPARE(editor.panel(), "Value (Not Modifiable) [Pistol] read-only");

        click_node(editor.form, 3);
        QCOMPARE(editor.panel(), "Value (Modifiable) [12] editable");
        QTest::keyClick(editor.text2, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(editor.text2, "15");
        QCOMPARE(editor.new_key("ammo", "9mm"), QStringList({kNamePrompt, kValuePrompt}));
        QCOMPARE(editor.menu("mnuSave"), QStringList());
        QCOMPARE(Editor::bytes(path), "Pistol\\damage\\15\\range\\300\\ammo\\9mm\r\n");

        click_node(editor.form, 5);
        QTest::keyClick(editor.text2, Qt::Key_End);
        QTest::keyClicks(editor.text2, "0");
        QCOMPARE(editor.tool(3), QStringList());
        QCOMPARE(Editor::bytes(path), "Pistol\\damage\\15\\range\\3000\\ammo\\9mm\r\n");
    }

    void cancelled_open_changes_nothing_data()
    {
        QTest::addColumn<bool>("document");
        QTest::newRow("no document open") << false;
        QTest::newRow("document open") << true;
    }
    void cancelled_open_changes_nothing()
    {
        QFETCH(bool, document);
        Editor editor;
        const QString path = editor.write("a.txt", "A\\k\\v");
        if (document) {
            editor.open(path);
            click_node(editor.form, 3);
        }
        const QString before = editor.state();
        QCOMPARE(editor.menu("mnuOpen", {modal_answer::cancel()}), QStringList{kOpenDialog});
        QCOMPARE(editor.state(), before);
        QCOMPARE(editor.form.openPath().isEmpty(), !document);
    }

    void second_open_starts_on_the_first_file()
    {
        Editor editor;
        const QString first = editor.write("first.txt", "A\\k\\v");
        const QString second = editor.write("second.txt", "B\\k\\v");
        editor.open(first);
        QStringList offered;
        const Answer look_then_choose = [&](QWidget *window) {
            offered = qobject_cast<QFileDialog *>(window)->selectedFiles();
            modal_answer::choose_file(second)(window);
        };
        QCOMPARE(editor.tool(1, {look_then_choose}), QStringList{kOpenDialog});
        QCOMPARE(offered, QStringList{first});
        QCOMPARE(editor.form.openPath(), second);
        QCOMPARE(tree_text(editor.form.tree()), "B <\n  k *\n    v");
    }

    void failed_open_leaves_no_document_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("file that does not exist") << false << QByteArray();
        QTest::newRow("empty file") << true << QByteArray();
        QTest::newRow("empty first line") << true << QByteArray("\r\nH\\k\\v\r\n");
        QTest::newRow("repeated key") << true << QByteArray("H\\a\\1\\b\\2\\a\\3");
        QTest::newRow("key repeating the header") << true << QByteArray("H\\a\\1\\H\\2");
        QTest::newRow("key without a value") << true << QByteArray("H\\a\\1\\b");
        QTest::newRow("more than 32767 tokens") << true << weapon_line(16384);
    }
    void failed_open_leaves_no_document()
    {
        QFETCH(bool, exists);
        QFETCH(QByteArray, bytes);
        Editor editor;
        const QString good = editor.write("good.txt", "G\\k\\v\r\n");
        const QString bad =
            exists ? editor.write("bad.txt", bytes) : editor.dir.filePath("none.txt");
        editor.open(good);
        click_node(editor.form, 3);

        QCOMPARE(editor.open(bad), QStringList{kOpenDialog});
        QCOMPARE(editor.state(), kNoDocument);
        QCOMPARE(editor.tv->model()->rowCount(), 0);
        QVERIFY(!editor.form.tree().SelectedItem());

        // Nothing left over can be written anywhere.
        QCOMPARE(editor.menu("mnuSave"), QStringList());
        QCOMPARE(editor.tool(3), QStringList());
        QCOMPARE(QFileInfo::exists(bad), exists);
        if (exists)
            QCOMPARE(Editor::bytes(bad), bytes);
        QCOMPARE(Editor::bytes(good), "G\\k\\v\r\n");

        QCOMPARE(editor.open(good), QStringList{kOpenDialog});
        QCOMPARE(tree_text(editor.form.tree()), "G <\n  k *\n    v");
    }

    void commands_without_a_document_do_nothing_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<int>("button");
        QTest::newRow("Save from the menu") << "mnuSave" << 0;
        QTest::newRow("Save button") << "" << 3;
        QTest::newRow("Expand All") << "" << 5;
        QTest::newRow("Collapse All") << "" << 6;
        QTest::newRow("New Key, no prompt") << "" << 8;
    }
    void commands_without_a_document_do_nothing()
    {
        QFETCH(QString, menu);
        QFETCH(int, button);
        Editor editor;
        const QStringList seen =
            menu.isEmpty() ? editor.tool(button) : editor.menu(menu.toLatin1().constData());
        QCOMPARE(seen, QStringList());
        QCOMPARE(editor.state(), kNoDocument);
        QCOMPARE(QDir(editor.dir.path()).entryList(QDir::Files), QStringList());
    }

    void failed_save_keeps_the_file_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("button"); // 0: the File menu
        QTest::addColumn<QString>("reason");
        const auto row = [](const char *name, const char *fault, const QString &value, int button,
                            const QString &reason) {
            QTest::newRow(name) << QString(fault) << value << button << reason;
        };
        row("file size limit, menu", "limit", "13", 0, "too large");
        row("file replaced by a folder, button", "folder", "13", 3, "directory");
        row("value holding a backslash, menu", "", "1\\3", 0, "backslash");
        row("value outside the code page, button", "", "1\u03A93", 3, "U+03A9");
    }
    void failed_save_keeps_the_file()
    {
        QFETCH(QString, fault);
        QFETCH(QString, value);
        QFETCH(int, button);
        QFETCH(QString, reason);
        Editor editor;
        const QByteArray before = "Pistol\\damage\\12\r\n";
        const QString path = editor.write("pistol.txt", before);
        editor.open(path);
        // Straight into the tree: the editors would not let these texts in.
        editor.form.tree().setText(3, value);
        if (fault == "folder")
            QVERIFY(QFile::remove(path) && QDir().mkdir(path));

        QString message;
        const auto save = [&] {
            const QList<Answer> read{modal_answer::read_message(&message)};
            return button == 0 ? editor.menu("mnuSave", read) : editor.tool(button, read);
        };
        std::optional<FileSizeLimit> limit;
        if (fault == "limit")
            limit.emplace(8);
        const QStringList seen = save();
        limit.reset();
        QCOMPARE(seen, QStringList{kMessage});
        QVERIFY2(message.contains(QDir::toNativeSeparators(path)), qPrintable(message));
        QVERIFY2(message.contains(reason, Qt::CaseInsensitive), qPrintable(message));
        if (fault == "folder")
            QVERIFY(QFileInfo(path).isDir());
        else
            QCOMPARE(Editor::bytes(path), before);
        QCOMPARE(QDir(editor.dir.path()).entryList(QDir::Files | QDir::Hidden),
                 fault == "folder" ? QStringList() : QStringList{"pistol.txt"});
        QCOMPARE(editor.form.openPath(), path);
    }

    void new_key_appends_a_pair_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("cancelled"); // at the second prompt
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("written");
        const QByteArray onePair = "Pistol\\damage\\12";
        QTest::newRow("plain name and value")
            << QByteArray("Pistol\\damage\\12\\range\\300") << "ammo" << false << "9mm"
            << QByteArray("\\ammo\\9mm");
        QTest::newRow("header alone")
            << QByteArray("Pistol") << "ammo" << false << "9mm" << QByteArray("\\ammo\\9mm");
        QTest::newRow("second prompt cancelled")
            << onePair << "ammo" << true << "" << QByteArray("\\ammo\\");
        QTest::newRow("empty value typed")
            << onePair << "ammo" << false << "" << QByteArray("\\ammo\\");
        QTest::newRow("blanks kept as typed")
            << onePair << " ammo " << false << " 9 mm " << QByteArray("\\ ammo \\ 9 mm ");
        QTest::newRow("name that is a value's text")
            << onePair << "12" << false << "x" << QByteArray("\\12\\x");
        QTest::newRow("windows-1252 letters")
            << onePair << "\u00E9p\u00E9e" << false << "\u20AC 5 \u0152"
            << QByteArray("\\\xE9p\xE9\x65\\\x80 5 \x8C");
    }
    void new_key_appends_a_pair()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, name);
        QFETCH(bool, cancelled);
        QFETCH(QString, value);
        QFETCH(QByteArray, written);
        Editor editor;
        const QString path = editor.write("w.txt", line + "\r\n");
        editor.open(path);
        const int n = editor.form.tree().count() / 2;
        const Answer second = cancelled ? modal_answer::cancel() : modal_answer::type_text(value);
        QCOMPARE(editor.tool(8, {modal_answer::type_text(name), second}),
                 QStringList({kNamePrompt, kValuePrompt}));

        const WeaponTree &tree = editor.form.tree();
        const auto key = static_cast<NodeIndex>(2 * n + 2);
        const auto added = static_cast<NodeIndex>(2 * n + 3);
        QCOMPARE(tree.count(), 2 * n + 3);
        QCOMPARE(tree.text(key), name);
        QCOMPARE(tree.key(key), name);
        QVERIFY(tree.bold(key));
        QCOMPARE(tree.parent(key), NodeIndex(1));
        QCOMPARE(tree.text(added), value);
        QCOMPARE(tree.parent(added), key);
        QCOMPARE(tree.selected(), key);
        QCOMPARE(editor.tv->currentIndex(), model_index(editor.form, key));
        QVERIFY(editor.tv->isExpanded(model_index(editor.form, 1)));
        QVERIFY(editor.tv->isExpanded(model_index(editor.form, key)));
        QVERIFY(editor.tv->viewport()->rect().intersects(
            editor.tv->visualRect(model_index(editor.form, added))));
        QCOMPARE(editor.panel(), "Value (Not Modifiable) [" + name + "] read-only");
        // The prompts have taken the window's activation with them; the focus it gets back is this.
        QCOMPARE(editor.form.focusWidget(), editor.tv);

        editor.menu("mnuSave");
        QCOMPARE(Editor::bytes(path), line + written + "\r\n");
    }

    void new_key_without_a_name_adds_nothing_data()
    {
        QTest::addColumn<bool>("document");
        QTest::addColumn<bool>("cancelled");
        QTest::addColumn<QStringList>("seen");
        QTest::newRow("no document") << false << false << QStringList();
        QTest::newRow("empty name") << true << false << QStringList{kNamePrompt};
        QTest::newRow("first prompt cancelled") << true << true << QStringList{kNamePrompt};
    }
    void new_key_without_a_name_adds_nothing()
    {
        QFETCH(bool, document);
        QFETCH(bool, cancelled);
        QFETCH(QStringList, seen);
        Editor editor;
        if (document) {
            editor.open(editor.write("w.txt", "Pistol\\damage\\12"));
            click_node(editor.form, 3);
        }
        const QString before = editor.state();
        const Answer first = cancelled ? modal_answer::cancel() : modal_answer::type_text("");
        QCOMPARE(editor.tool(8, {first, modal_answer::type_text("v")}), seen);
        QCOMPARE(editor.state(), before);
    }

    void new_key_refused_data()
    {
        QTest::addColumn<int>("pairs");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("reason");
        const auto row = [](const char *title, int pairs, const QString &name, const QString &value,
                            const QString &reason) {
            QTest::newRow(title) << pairs << name << value << reason;
        };
        row("name of another key", 2, "k2", "v", "already in use");
        row("name of the header", 2, "H", "v", "already in use");
        row("backslash in the name", 2, "a\\b", "v", "backslash");
        row("backslash in the value", 2, "ammo", "9\\mm", "backslash");
        row("carriage return in the name", 2, "a\rb", "v", "line break");
        row("carriage return in the value", 2, "ammo", "9\rmm", "line break");
        row("name outside the code page", 2, "\u03A9", "v", "\u03A9");
        row("value outside the code page", 2, "ammo", "\u6F22", "\u6F22");
        row("tree already full", 16383, "ammo", "v", "no key can be added");
    }
    void new_key_refused()
    {
        QFETCH(int, pairs);
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(QString, reason);
        Editor editor;
        editor.open(editor.write("w.txt", weapon_line(pairs)));
        click_node(editor.form, 3);
        const QString before = editor.state();
        QString message;
        QCOMPARE(editor.tool(8, {modal_answer::type_text(name), modal_answer::type_text(value),
                                 modal_answer::read_message(&message)}),
                 QStringList({kNamePrompt, kValuePrompt, kMessage}));
        QVERIFY2(message.contains(reason), qPrintable(message));
        QCOMPARE(editor.state(), before);
        QCOMPARE(editor.tv->model()->rowCount(model_index(editor.form, 1)), pairs);
    }

    void expand_and_collapse_all_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<QList<int>>("buttons");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("open");
        const auto row = [](const char *name, int selected, const QList<int> &buttons,
                            const QString &shown, const QString &open) {
            QTest::newRow(name) << selected << buttons << shown << open;
        };
        // Nodes: 1 H, 2 a, 3 "1", 4 b, 5 "2", 6 c, 7 "3". Buttons: 5 Expand All, 6 Collapse All.
        row("collapse, root selected", 1, {6}, "H", "");
        row("collapse, key selected", 4, {6}, "H a b c", "H");
        row("collapse, value selected", 5, {6}, "H a b 2 c", "H b");
        row("collapse twice, value selected", 7, {6, 6}, "H a b c 3", "H c");
        row("expand after collapse, value selected", 5, {6, 5}, "H a 1 b 2 c 3", "H a b c");
        row("expand after collapse, root selected", 1, {6, 5}, "H a 1 b 2 c 3", "H a b c");
        row("collapse after expand, key selected", 2, {5, 6}, "H a b c", "H");
    }
    void expand_and_collapse_all()
    {
        QFETCH(int, selected);
        QFETCH(QList<int>, buttons);
        QFETCH(QString, shown);
        QFETCH(QString, open);
        Editor editor;
        editor.open(editor.write("w.txt", "H\\a\\1\\b\\2\\c\\3"));
        click_node(editor.form, NodeIndex(selected));
        const QString panel = editor.panel();
        for (const int button : buttons)
            QCOMPARE(editor.tool(button), QStringList());
        QCOMPARE(editor.shown_rows(), shown);
        QCOMPARE(editor.open_nodes(false), open);
        QCOMPARE(editor.open_nodes(true), open);
        QCOMPARE(editor.form.tree().selected(), selected);
        QCOMPARE(editor.tv->currentIndex(), model_index(editor.form, NodeIndex(selected)));
        QVERIFY(editor.tv->selectionModel()->isSelected(editor.tv->currentIndex()));
        QCOMPARE(editor.panel(), panel);
    }

    void separator_positions_run_nothing_data()
    {
        QTest::addColumn<int>("index");
        QTest::newRow("position 2") << 2;
        QTest::newRow("position 4") << 4;
        QTest::newRow("position 7") << 7;
    }
    void separator_positions_run_nothing()
    {
        QFETCH(int, index);
        Editor editor;
        const QString path = editor.write("w.txt", "H\\a\\1\\b\\2");
        editor.open(path);
        click_node(editor.form, 5);
        editor.tool(6);
        QTest::keyClicks(editor.text2, "0");
        const QString before = editor.state() + editor.shown_rows();

        auto *toolbar = control<ToolBar>(editor.form, "Toolbar1");
        auto *separator =
            toolbar->findChild<QAction *>(QStringLiteral("Toolbar1_Button%1").arg(index));
        QVERIFY(separator && separator->isSeparator());
        const QStringList seen = modal_answer::run([&] {
            QTest::mouseClick(toolbar->widgetForAction(separator), Qt::LeftButton);
            emit toolbar->ButtonClick(index);
        });
        QCOMPARE(seen, QStringList());
        QCOMPARE(editor.state() + editor.shown_rows(), before);
        QCOMPARE(Editor::bytes(path), "H\\a\\1\\b\\2");
    }

    void exit_closes_without_asking()
    {
        Editor editor;
        const QString path = editor.write("w.txt", "H\\a\\1");
        editor.open(path);
        click_node(editor.form, 3);
        QTest::keyClicks(editor.text2, "23");
        QCOMPARE(editor.menu("mnuExit"), QStringList());
        QTRY_VERIFY(!editor.form.isVisible());
        QCOMPARE(Editor::bytes(path), "H\\a\\1");
    }
};

QTEST_MAIN(TestCommands)
#include "test_commands.moc"
