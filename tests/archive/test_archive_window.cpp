#include "../editor/modal_answer.h"
#include "archive/zip_archive.h"
#include "zip_maker.h"

using namespace window_driver;

namespace
{

const QList<MadeEntry> kEntries = {
    {"textures/wall.tga", QByteArray(3000, '\x7f'), ZIP_CM_STORE},
    {"weapons/rifle.txt", "Rifle\\damage\\12\r\nsecond line\r\n"},
    {"weapons/pistol.txt", "Pistol\\damage\\4", ZIP_CM_STORE, "kept comment"},
};

QStringList open_from_archive(Form1 &form, const QStringList &answers)
{
    return answer_modals(answers, [&] { control<QAction>(form, "mnuOpenArchive")->trigger(); });
}

QByteArray entry_bytes(const QString &archive, const QString &name)
{
    QByteArray bytes;
    return read_entry(archive, name, 1 << 20, bytes) ? bytes : QByteArray("unreadable");
}

} // namespace

class TestArchiveWindow : public QObject
{
    Q_OBJECT

private slots:
    void edit_an_entry_in_place()
    {
        QTemporaryDir dir;
        const QString archive = dir.filePath("game.pk3");
        QVERIFY(make_zip(archive, kEntries));
        const QStringList before = packed_entries(archive);
        Form1 form;
        QVERIFY(show_window(form));
        QCOMPARE(open_from_archive(form, {archive, "weapons/rifle.txt"}),
                 QStringList({"Open from Archive", "Open from Archive"}));
        QCOMPARE(form.openPath(), archive + ":weapons/rifle.txt");
        QCOMPARE(form.windowTitle(), "rifle.txt[*] - Zembrak Armsmith");
        QCOMPARE(node_texts(form), "Rifle\ndamage\n12");
        click_node(form, 3);
        QTest::keyClicks(control(form, "Text2"), "5");
        QVERIFY(form.isWindowModified());
        control<QAction>(form, "mnuSave")->trigger();
        QVERIFY(!form.isWindowModified());
        QCOMPARE(entry_bytes(archive, "weapons/rifle.txt"),
                 "Rifle\\damage\\125\r\nsecond line\r\n");
        const QStringList after = packed_entries(archive);
        QCOMPARE(after.size(), before.size());
        for (const int other : {0, 2, 3}) // every entry but the edited one, and the comment
            QCOMPARE(after[other], before[other]);
        // The snapshot was renewed by the save: a second one asks nothing.
        click_node(form, 3);
        QTest::keyClicks(control(form, "Text2"), "0");
        QCOMPARE(answer_modals({}, [&] { control<QAction>(form, "mnuSave")->trigger(); }),
                 QStringList());
        QCOMPARE(entry_bytes(archive, "weapons/rifle.txt"),
                 "Rifle\\damage\\1250\r\nsecond line\r\n");

        // Another program rewrites the archive: Save asks, and Cancel keeps its bytes.
        QVERIFY(make_zip(archive, kEntries.mid(1)));
        const QByteArray theirs = file_bytes(archive);
        const QStringList seen =
            answer_modals({"Cancel"}, [&] { control<QAction>(form, "mnuSave")->trigger(); });
        QVERIFY2(seen.size() == 1 && seen[0].contains("changed by another program") &&
                     seen[0].contains("game.pk3:weapons/rifle.txt"),
                 qPrintable(seen.join(" | ")));
        QCOMPARE(file_bytes(archive), theirs);
    }

    void bad_archive_is_named_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not a zip") << QByteArray("Rifle\\damage\\12\r\n") << "not a zip";
        QTest::newRow("no weapon inside") << QByteArray() << "no weapon file";
        QTest::newRow("chooser cancelled") << QByteArray() << "";
    }
    void bad_archive_is_named()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString archive = dir.filePath("bad.zbx");
        QVERIFY(bytes.isEmpty() ? make_zip(archive, kEntries.mid(0, reason.isEmpty() ? 2 : 1))
                                : write_file(archive, bytes));
        Form1 form;
        QVERIFY(show_window(form));
        const QStringList seen = open_from_archive(form, {archive, "Cancel"});
        if (reason.isEmpty()) // the chooser, and nothing after it
            QCOMPARE(seen, QStringList({"Open from Archive", "Open from Archive"}));
        else
            QVERIFY2(seen.size() == 2 && seen[1].contains(archive) &&
                         seen[1].contains(reason, Qt::CaseInsensitive),
                     qPrintable(seen.join(" | ")));
        QCOMPARE(form.openPath(), QString());
    }
};

QTEST_MAIN(TestArchiveWindow)
#include "test_archive_window.moc"
