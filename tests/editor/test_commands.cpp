#include "../archive/zip_maker.h"
#include "modal_answer.h"

#include "document/careful_save.h"

#include <sys/resource.h>
#include <unistd.h>
using namespace window_driver;

static QByteArray weapon_line(int pairs)
{
    QByteArray line = "H";
    for (int i = 1; i <= pairs; ++i)
        line += "\\k" + QByteArray::number(i) + "\\v" + QByteArray::number(i);
    return line;
}

// A refused save (no answers) or New Key; reason empty: no message at all.
struct Refusal {
    int pairs;
    QStringList answers;
    QString reason, put = {}; // put into node 3 first
    bool limit = false;       // the file size limit lowered below the file
};

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    // Past the file size limit a write is to fail, not end the process.
    void initTestCase() { ignore_file_size_signal(); }

    // Another program wrote the file after it was opened: Save asks before it overwrites.
    void save_over_another_programs_change_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("overwrite") << "Overwrite";
        QTest::newRow("cancel") << "Cancel";
        QTest::newRow("reload") << "Reload";
        QTest::newRow("Enter keeps their change") << "Enter";
    }
    void save_over_another_programs_change()
    {
        QFETCH(QString, answer);
        OpenWindow w("H\\k\\v\r\n");
        const QByteArray other = "H\\k\\changed elsewhere\r\n";
        if (QFile file(w.path); file.open(QIODevice::WriteOnly))
            file.write(other);
        const QStringList seen = w.tool(3, {answer});
        QVERIFY2(seen.size() == 1 && seen[0].contains("changed by another program") &&
                     seen[0].contains(QDir::toNativeSeparators(w.path)),
                 qPrintable(seen.join(" | ")));
        const bool overwritten = answer == "Overwrite";
        QCOMPARE(bytes_of(w.path), overwritten ? QByteArray("H\\k\\v\r\n") : other);
        QCOMPARE(w.form.tree().text(3), answer == "Reload" ? "changed elsewhere" : "v");
        // Once overwritten or reloaded, the file is ours again; cancelled, by a button or by
        // Enter, the next Save asks again.
        QCOMPARE(w.tool(3, {"Cancel"}).size(), overwritten || answer == "Reload" ? 0 : 1);
    }

    // Node 3 typed into first; the answers go to the dialog or the question.
    void save_as_and_revert_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("answer"); // "copy": the new file's path
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("value"); // node 3 afterwards
        QTest::addColumn<QString>("typed");
        QTest::newRow("save as") << "mnuSaveAs"
                                 << "copy"
                                 << "copy.txt[*] - "
                                 << "17"
                                 << "7";
        QTest::newRow("save as cancelled") << "mnuSaveAs"
                                           << ""
                                           << "weapon.txt[*] - "
                                           << "17"
                                           << "7";
        QTest::newRow("revert") << "mnuRevert"
                                << "Revert"
                                << "weapon.txt[*] - "
                                << "1"
                                << "7";
        QTest::newRow("revert cancelled") << "mnuRevert"
                                          << "Cancel"
                                          << "weapon.txt[*] - "
                                          << "17"
                                          << "7";
        // With nothing to lose there is nothing to ask.
        QTest::newRow("revert with nothing unsaved") << "mnuRevert"
                                                     << "Revert"
                                                     << "weapon.txt[*] - "
                                                     << "1"
                                                     << "";
    }
    void save_as_and_revert()
    {
        QFETCH(QString, command);
        QFETCH(QString, answer);
        QFETCH(QString, title);
        QFETCH(QString, value);
        QFETCH(QString, typed);
        const QByteArray opened = "H\\k\\1\r\nrest\r\n";
        OpenWindow w(opened);
        click_node(w.form, 3);
        QTest::keyClicks(control(w.form, "Text2"), typed);
        const QString copy = w.dir.filePath("copy.txt");
        const QStringList answers{answer == "copy" ? copy : answer};
        const QStringList seen = answer_modals(
            answers, [&] { control<QAction>(w.form, qPrintable(command))->trigger(); });
        QCOMPARE(seen.size(), typed.isEmpty() ? 0 : 1);
        QCOMPARE(w.form.windowTitle(), title + "Zembrak Armsmith");
        QCOMPARE(w.form.tree().text(3), value);
        QCOMPARE(control<QLineEdit>(w.form, "Text2")->text(),
                 w.form.tree().text(w.form.tree().selected()));
        const bool done = answer == "copy" || answer == "Revert";
        QCOMPARE(w.form.isWindowModified(), !done);
        // Steps made on the document that was reverted have nothing left to act on.
        QCOMPARE(control<QAction>(w.form, "mnuUndo")->isEnabled(), answer != "Revert");
        QCOMPARE(bytes_of(w.path), opened);
        QCOMPARE(bytes_of(copy), answer == "copy" ? "H\\k\\17\r\nrest\r\n" : QByteArray());
    }

    // A save in place (the file has a second name) failed, and so did putting the old bytes
    // back: the backup stays, is named, and the next Open of the file offers it. An archive is
    // saved the same way, and each way of opening it asks before the archive is read.
    void open_offers_the_backup_of_an_unfinished_save_data()
    {
        QTest::addColumn<QString>("opening"); // the command that opens the file again
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("restored");
        QTest::addColumn<bool>("opened");
        QTest::newRow("restore") << "open"
                                 << "Restore" << true << true;
        QTest::newRow("keep the file as it is") << "open"
                                                << "Keep File As It Is" << false << true;
        QTest::newRow("cancel") << "open"
                                << "Cancel" << false << false;
        QTest::newRow("archive, restore") << "mnuOpenArchive"
                                          << "Restore" << true << true;
        QTest::newRow("archive, cancel") << "mnuOpenArchive"
                                         << "Cancel" << false << false;
        QTest::newRow("archive as table, restore") << "mnuOpenArchiveTable"
                                                   << "Restore" << true << true;
    }
    void open_offers_the_backup_of_an_unfinished_save()
    {
        QFETCH(QString, opening);
        QFETCH(QString, answer);
        QFETCH(bool, restored);
        QFETCH(bool, opened);
        const QByteArray weapon = "H\\k\\v\r\n";
        OpenWindow w(weapon);
        QString path = w.path;
        const QString entry = "weapons/h.txt";
        if (opening != "open") {
            path = w.dir.filePath("game.pk3");
            QVERIFY(make_zip(path,
                             {{"sounds/a.ogg", QByteArray(3000, 'a')}, {entry.toUtf8(), weapon}}));
        }
        const QByteArray old = bytes_of(path);
        const QByteArray other = QFile::encodeName(w.dir.filePath("other"));
        QVERIFY(::link(QFile::encodeName(path).constData(), other.constData()) == 0);
        if (opening != "open") {
            answer_modals({path, entry},
                          [&] { control<QAction>(w.form, "mnuOpenArchive")->trigger(); });
            QCOMPARE(w.form.openPath(), path + ":" + entry);
        }
        w.form.tree().setText(3, "new");
        set_in_place_probe(
            [](InPlaceStep step) { return step == InPlaceStep::BackupOnDisk ? 0 : EIO; });
        const QStringList failed = w.tool(3);
        set_in_place_probe(nullptr);
        const QString backup = unfinished_save_backup(path);
        QVERIFY(!backup.isEmpty());
        QVERIFY2(failed.size() == 1 && failed[0].contains(QDir::toNativeSeparators(backup)),
                 qPrintable(failed.join(" | ")));
        const QByteArray left = bytes_of(path);
        QVERIFY(left != old);
        const QStringList answers{path, answer, entry};
        const QStringList seen =
            opening == "open" ? w.tool(1, answers) : answer_modals(answers, [&] {
                control<QAction>(w.form, qPrintable(opening))->trigger();
            });
        QVERIFY2(seen.size() >= 2 && seen[1].contains("may not have finished") &&
                     seen[1].contains(QDir::toNativeSeparators(backup)),
                 qPrintable(seen.join(" | ")));
        QCOMPARE(bytes_of(path), restored ? old : left);
        QCOMPARE(QFileInfo::exists(backup), !opened);
        const bool reopened = restored && opening != "mnuOpenArchiveTable";
        QCOMPARE(w.form.tree().text(3), reopened ? "v" : "new");
        QList<QWidget *> tables = QApplication::topLevelWidgets();
        tables.removeIf([](QWidget *window) { return !window->inherits("WeaponTable"); });
        QCOMPARE(tables.size(), opening == "mnuOpenArchiveTable" && opened ? 1 : 0);
        qDeleteAll(tables);
    }

    void open_edit_new_key_save_and_exit()
    {
        OpenWindow w("Pistol\\damage\\12\\range\\300\r\nnext\r\n");
        click_node(w.form, 3);
        QTest::keyClick(control(w.form, "Text2"), Qt::Key_End);
        QTest::keyClicks(control(w.form, "Text2"), "5");
        const QStringList prompts = {"New Key", "Key Value"};
        QCOMPARE(w.tool(8, {"ammo", "9mm"}), prompts);
        QCOMPARE(w.tool(8, {"bolt"}), prompts); // the value prompt cancelled: an empty value
        QCOMPARE(w.tool(3), QStringList());
        const QByteArray saved = "Pistol\\damage\\125\\range\\300\\ammo\\9mm\\bolt\\\r\nnext\r\n";
        QCOMPARE(bytes_of(w.path), saved);
        w.form.tree().setText(3, "7"); // Exit must not write an edit the user did not save.
        QCOMPARE(answer_modals({}, [&] { control<QAction>(w.form, "mnuExit")->trigger(); }),
                 QStringList());
        QVERIFY(!w.form.isVisible());
        QCOMPARE(bytes_of(w.path), saved);
    }

    void refusal_changes_nothing_data()
    {
        QTest::addColumn<Refusal>("r");
        QTest::newRow("save past the file size limit") << Refusal{1, {}, "too large", "13", true};
        QTest::newRow("save of a backslash put into the tree")
            << Refusal{1, {}, "backslash", "1\\3"};
        QTest::newRow("new key with an empty name") << Refusal{2, {"", "v"}, ""};
        QTest::newRow("new key named as another key") << Refusal{2, {"k2", "v"}, "in use"};
        QTest::newRow("new key with a backslash") << Refusal{2, {"a\\b", "v"}, "backslash"};
        QTest::newRow("new key, value with a backslash")
            << Refusal{2, {"c", "1\\3"}, "value holds a backslash"};
        QTest::newRow("new key, tree full") << Refusal{16383, {"a", "v"}, "as many keys"};
    }
    void refusal_changes_nothing()
    {
        QFETCH(Refusal, r);
        OpenWindow w(weapon_line(r.pairs));
        if (!r.put.isEmpty()) // straight into the tree: the editors would not let a backslash in
            w.form.tree().setText(3, r.put);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const rlimit lowered{r.limit ? 4 : old.rlim_cur, old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &lowered);
        const QStringList seen = w.tool(r.answers.isEmpty() ? 3 : 8, r.answers);
        setrlimit(RLIMIT_FSIZE, &old);
        const QString file = r.answers.isEmpty() ? QDir::toNativeSeparators(w.path) : "";
        QVERIFY2(seen.size() == (r.reason.isEmpty() ? 1 : r.answers.size() + 1) &&
                     seen.last().contains(file) && seen.last().contains(r.reason),
                 qPrintable(seen.join(" | ")));
        QCOMPARE(w.form.tree().count(), 2 * r.pairs + 1);
        QCOMPARE(bytes_of(w.path), weapon_line(r.pairs));
    }

    // Nodes 1 H, 2 k1, 3 v1, 4 k2, 5 v2; the selection is to stay where it was clicked.
    void expand_and_collapse_all_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<QList<int>>("buttons"); // 5 Expand All, 6 Collapse All, 7 a separator
        QTest::addColumn<QList<int>>("open");
        QTest::newRow("collapse, value selected") << 5 << QList{6} << QList{1, 4};
        QTest::newRow("expand after collapse") << 3 << QList{6, 5} << QList{1, 2, 4};
        QTest::newRow("position 7 is no button") << 5 << QList{7} << QList{1, 2, 4};
    }
    void expand_and_collapse_all()
    {
        QFETCH(int, selected);
        QFETCH(QList<int>, buttons);
        QFETCH(QList<int>, open);
        OpenWindow w(weapon_line(2));
        click_node(w.form, NodeIndex(selected));
        for (const int button : buttons)
            QCOMPARE(w.tool(button), QStringList());
        const TreeView *tv = tree_view(w.form);
        for (const NodeIndex node : {1, 2, 4}) { // the view is to show the tree as it is
            QCOMPARE(w.form.tree().expanded(node), open.contains(node));
            QCOMPARE(tv->isExpanded(model_index(w.form, node)), open.contains(node));
        }
        QCOMPARE(w.form.tree().selected(), selected);
        QCOMPARE(tv->currentIndex(), model_index(w.form, NodeIndex(selected)));
    }
};

QTEST_MAIN(TestCommands)
#include "test_commands.moc"
