#include "document/careful_save.h"
#include "document/weapon_document.h"

#include <QSignalSpy>
#include <QtTest>

using S = WeaponFileStatus;

namespace
{

const QByteArray kOpened = "H\\a\\1\\b\\2\r\nnext\r\n";

QByteArray read_file(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool write_file(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QString texts(const WeaponTree &tree)
{
    QStringList all;
    for (int node = 1; node <= tree.count(); ++node)
        all << tree.text(static_cast<NodeIndex>(node));
    return all.join(u'|');
}

// What another program does to the open file before the command: "write BYTES", "delete";
// "entry" opens the file as an archive's entry instead.
void meddle(const QString &what, const QString &path)
{
    if (what.startsWith("write "))
        QVERIFY(write_file(path, what.mid(6).toUtf8().replace("\\r\\n", "\r\n")));
    else if (what == "delete")
        QVERIFY(QFile::remove(path));
}

// An entry of an archive, as far as the document sees one: the archive's own code reads and
// writes it, and is not here.
class ArchiveEntryStandIn : public WeaponSource
{
public:
    WeaponFileResult load(WeaponTree &, WeaponOrigin &) const override { return refusal(); }
    WeaponFileResult save(const WeaponTree &, WeaponOrigin &) const override { return refusal(); }
    QString displayName() const override { return QStringLiteral("game.pk3:weapons/w.txt"); }

private:
    static WeaponFileResult refusal() { return {WeaponFileStatus::CannotWrite, 0, "no archive"}; }
};

} // namespace

// A row: what another program does to the file, the command, its outcome, the document's file
// afterwards (the new one after Save As), the tree, and whether edits are left unsaved.
struct Step {
    QString meddling;
    QString command;
    S status;
    QByteArray file; // null: no file there
    QString tree;
    bool modified;
};
Q_DECLARE_METATYPE(Step)

class TestWeaponDocument : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ignore_file_size_signal(); }

    // Every row opens kOpened and changes node 3 from 1 to 17 first.
    void commands_over_the_disk_data()
    {
        QTest::addColumn<Step>("s");
        const QString edited = "H|a|17|b|2";
        const QByteArray saved = "H\\a\\17\\b\\2\r\nnext\r\n";
        QTest::newRow("save keeps the lines after the first")
            << Step{"", "save", S::Ok, saved, edited, false};
        QTest::newRow("save leaves another program's change alone")
            << Step{"write G\\c\\3", "save", S::ChangedOnDisk, "G\\c\\3", edited, true};
        QTest::newRow("save of a file another program deleted asks first too")
            << Step{"delete", "save", S::ChangedOnDisk, {}, edited, true};
        QTest::newRow("save told to overwrite another program's change")
            << Step{"write G\\c\\3", "overwrite", S::Ok, saved, edited, false};
        QTest::newRow("revert takes the file as another program left it")
            << Step{"write G\\c\\3\\r\\n", "revert", S::Ok, "G\\c\\3\r\n", "G|c|3", false};
        QTest::newRow("revert of a file gone bad keeps the edits")
            << Step{"write G\\c", "revert", S::KeyWithoutValue, "G\\c", edited, true};
        QTest::newRow("revert of a deleted file keeps the edits")
            << Step{"delete", "revert", S::CannotRead, {}, edited, true};
        QTest::newRow("save as writes the lines after the first to the new file")
            << Step{"", "save as", S::Ok, saved, edited, false};
        QTest::newRow("save as does not care what became of the old file")
            << Step{"delete", "save as", S::Ok, saved, edited, false};
        QTest::newRow("save as from an archive entry writes a loose file")
            << Step{"entry", "save as", S::Ok, saved, edited, false};
        QTest::newRow("save as into a folder that is not there")
            << Step{"", "save as nowhere", S::CannotWrite, kOpened, edited, true};
        QTest::newRow("open of a file that is not there keeps the document")
            << Step{"", "open nowhere", S::CannotRead, kOpened, edited, true};
    }
    void commands_over_the_disk()
    {
        QFETCH(Step, s);
        QTemporaryDir dir;
        const QString path = dir.filePath("weapon.txt");
        QVERIFY(write_file(path, kOpened));
        WeaponDocument document;
        QVERIFY(document.openFile(path));
        if (s.meddling == "entry") { // the same weapon as an archive's entry, path the archive
            WeaponTree loaded;
            QVERIFY(load_weapon(loaded, path));
            document.adopt(std::make_unique<ArchiveEntryStandIn>(), loaded,
                           {path, "weapons/w.txt", "next\r\n", {}});
        }
        document.tree().setText(3, "17");
        document.setModified(true);
        meddle(s.meddling, path);
        QSignalSpy saved(&document, &WeaponDocument::saved);
        const QString other = dir.filePath(s.command.endsWith("nowhere") ? "no/such" : "copy.txt");
        WeaponFileResult result;
        if (s.command == "save" || s.command == "overwrite")
            result = document.save(s.command == "save" ? DiskCheck::Refuse : DiskCheck::Overwrite);
        else if (s.command == "revert")
            result = document.revert();
        else if (s.command.startsWith("save as"))
            result = document.saveAs(other);
        else
            result = document.openFile(other);
        QCOMPARE(result.status, s.status);
        QVERIFY2(result.ok() == result.reason.isEmpty(), qPrintable(result.reason));
        const bool movedOn = s.command.startsWith("save as") && result.ok();
        QCOMPARE(document.origin().path, movedOn ? other : path);
        QCOMPARE(read_file(movedOn ? other : path), s.file);
        QCOMPARE(texts(document.tree()), s.tree);
        QCOMPARE(document.isModified(), s.modified);
        QCOMPARE(saved.size(), result.ok() && s.command != "revert" ? 1 : 0);
        if (movedOn) { // the next save goes to the new file, and the old one is left alone
            document.tree().setText(5, "9");
            QVERIFY(document.save());
            QCOMPARE(read_file(other), "H\\a\\17\\b\\9\r\nnext\r\n");
            QCOMPARE(read_file(path), s.meddling == "delete" ? QByteArray() : kOpened);
        }
    }
};

QTEST_GUILESS_MAIN(TestWeaponDocument)
#include "test_weapon_document.moc"
