#include "archive/zip_archive.h"
#include "collection/csv.h"
#include "collection/csv_command.h"
#include "collection/csv_exchange.h"
#include "collection/folded_text.h"
#include "collection/natural_order.h"
#include "collection/save_all.h"
#include "collection/tab_separated.h"
#include "collection/weapon_loader.h"
#include "document/careful_save.h"
#include "document/code_page.h"

#include "../archive/zip_maker.h"

#include <QtTest>

#include <cstdio>
#include <sys/resource.h>

using Files = QMap<QString, QByteArray>;

namespace
{

void writeFiles(const QTemporaryDir &dir, const Files &files)
{
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const QString path = dir.filePath(it.key());
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(it.value());
    }
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

std::unique_ptr<WeaponCollection> loadTable(const QString &source)
{
    LoadProgress progress;
    return std::make_unique<WeaponCollection>(load_weapons(source, progress));
}

QString paths(const WeaponCollection &weapons)
{
    QStringList out;
    for (int row = 0; row < weapons.size(); ++row)
        out << weapons.record(row).path;
    return out.join(u' ');
}

QString records(const CsvTable &csv)
{
    QStringList out;
    for (const QStringList &record : csv.records)
        out << record.join(u'|');
    return out.join(u'\n');
}

// Two weapons of a table, the second with more lines after its first.
const Files kTwoWeapons{{"a.wpn", "A\\damage\\25\\name\\Rifle\r\n"},
                        {"b.wpn", "B\\damage\\12\\speed\\3\r\nkept\n"}};

} // namespace

class TestCollection : public QObject
{
    Q_OBJECT

private slots:
    void naturalOrder_data();
    void naturalOrder();
    void csvRead_data();
    void csvRead();
    void csvRefused_data();
    void csvRefused();
    void tabSeparated_data();
    void tabSeparated();
    void folderScan();
    void filterFoldsAsQtDoes();
    void importCsv_data();
    void importCsv();
    void importRefused_data();
    void importRefused();
    void saveAllAsksAndGoesOn();
    void archiveSavedInOneRewrite();
    void roundTripOverTestFiles();
    void commandLine_data();
    void commandLine();
};

void TestCollection::naturalOrder_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("order");
    QTest::newRow("digits as numbers") << "w2"
                                       << "w10" << -1;
    QTest::newRow("case ignored") << "Bolt"
                                  << "arrow" << 1;
    QTest::newRow("leading zeros") << "w007"
                                   << "w8" << -1;
    QTest::newRow("long digit runs") << "x123456789012345678901"
                                     << "x99" << 1;
    QTest::newRow("prefix first") << "w"
                                  << "w1" << -1;
    QTest::newRow("equal only when same") << "a"
                                          << "A" << 1;
}

void TestCollection::naturalOrder()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, order);
    QCOMPARE(natural_compare(a, b), order);
    QCOMPARE(natural_compare(b, a), -order);
}

void TestCollection::csvRead_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("records");
    QTest::newRow("plain") << QByteArray("file,a\r\nx,1\r\n") << "file|a\nx|1";
    QTest::newRow("LF and no last line end") << QByteArray("file,a\nx,1") << "file|a\nx|1";
    QTest::newRow("quotes, commas and line breaks")
        << QByteArray("file,a\r\n\"x,y\",\"say \"\"hi\"\"\r\nnext\"\r\n")
        << "file|a\nx,y|say \"hi\"\r\nnext";
    QTest::newRow("empty fields") << QByteArray("file,a,b\r\nx,,\"\"\r\n") << "file|a|b\nx||";
    QTest::newRow("byte-order mark and blank lines") << QByteArray("\xEF\xBB\xBF"
                                                                   "file\r\n\r\nx\r\n\r\n")
                                                     << "file\nx";
    QTest::newRow("UTF-8") << QByteArray("file\r\ncaf\xC3\xA9\r\n") << "file\ncaf\u00e9";
}

void TestCollection::csvRead()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, records);
    CsvTable csv;
    CsvError error;
    QVERIFY2(read_csv(bytes, csv, error), qPrintable(error.text()));
    QCOMPARE(::records(csv), records);
    // What the writer makes of the records reads back as the same records.
    QByteArray written;
    for (const QStringList &record : std::as_const(csv.records))
        append_csv_record(written, record);
    CsvTable again;
    QVERIFY(read_csv(written, again, error));
    QCOMPARE(::records(again), records);
}

void TestCollection::csvRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::newRow("unbalanced quote")
        << QByteArray("file,a\r\nx,\"1\r\n\r\n")
        << "Line 2, column 2: the quote that opens this field is never closed.";
    QTest::newRow("row longer than the header")
        << QByteArray("file,a\r\nx,1\r\ny,2,3\r\n")
        << "Line 3, column 3: the row has 3 fields where the header has 2.";
    QTest::newRow("row shorter than the header")
        << QByteArray("file,a,b\r\nx,1\r\n")
        << "Line 2, column 2: the row has 2 fields where the header has 3.";
    QTest::newRow("text after a closing quote")
        << QByteArray("file\r\n\"x\"y\r\n")
        << "Line 2, column 1: text follows the quote that closes this field.";
    QTest::newRow("stray quote") << QByteArray("file,a\r\nx,1\"2\r\n")
                                 << "Line 2, column 2: a quote inside a field that does not start "
                                    "with one; put the whole field in quotes.";
    QTest::newRow("not UTF-8") << QByteArray("file,a\r\nx,caf\xE9\r\n")
                               << "Line 2, column 2: the text is not UTF-8; save the file as CSV "
                                  "UTF-8.";
    QTest::newRow("line counted inside quotes")
        << QByteArray("file,a\r\n\"x\ny\",1\r\nz\r\n")
        << "Line 4, column 1: the row has 1 fields where the header has 2.";
}

void TestCollection::csvRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    CsvTable csv;
    CsvError error;
    QVERIFY(!read_csv(bytes, csv, error));
    QCOMPARE(error.text(), message);
}

void TestCollection::tabSeparated_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<QStringList>>("rows");
    QTest::newRow("quoted cells with tabs, quotes and line breaks")
        << "\"a\tb\"\t\"say \"\"hi\"\"\"\r\n\"two\r\nlines\"\tx\r\n"
        << QList<QStringList>{{"a\tb", "say \"hi\""}, {"two\r\nlines", "x"}};
    QTest::newRow("empty lines are empty cells, the last line end optional")
        << "a\n\n\tb" << QList<QStringList>{{"a"}, {""}, {"", "b"}};
    QTest::newRow("quotes that do not close at a cell's end are text")
        << "\"5\" barrel\t\"open\n"
        << QList<QStringList>{{"\"5\" barrel", "\"open"}};
    QTest::newRow("CR alone ends a row") << "a\rb\r" << QList<QStringList>{{"a"}, {"b"}};
    QTest::newRow("one empty cell") << "\r\n" << QList<QStringList>{{""}};
}

void TestCollection::tabSeparated()
{
    QFETCH(QString, text);
    QFETCH(QList<QStringList>, rows);
    QCOMPARE(read_tab_separated(text), rows);
    QCOMPARE(read_tab_separated(write_tab_separated(rows)), rows);
}

void TestCollection::folderScan()
{
    QTemporaryDir dir;
    QString deep = "d1/d2/d3/d4/d5/d6/d7/d8";
    writeFiles(dir, {{"w10.wpn", "H\\a\\1\r\n"},
                     {"w2.wpn", "H\\b\\2"},
                     {"sub/inner.wpn", "H\\a\\3"},
                     {deep + "/deepest.wpn", "H\\a\\4"},
                     {deep + "/d9/too_deep.wpn", "H\\a\\5"},
                     {"repeat.wpn", "H\\a\\1\\a\\2"},
                     {"half.wpn", "H\\a"},
                     {"notes.txt", "just words"},
                     {"header_only.wpn", "H\r\n"},
                     {"picture.png", "\x89PNG\r\n\x1a\n\\a\\b"},
                     {".w2.wpn.backup-Ab12Cd", "H\\a\\1"}});
    QVERIFY(QFile::link(dir.path(), dir.filePath("sub/loop")));
    QTemporaryDir outside;
    writeFiles(outside, {{"out.wpn", "H\\a\\1"}});
    QVERIFY(QFile::link(outside.path(), dir.filePath("outside")));
    QVERIFY(QFile::link(dir.filePath("w2.wpn"), dir.filePath("again.wpn")));

    const auto weapons = loadTable(dir.path());
    QCOMPARE(paths(*weapons), "d1/d2/d3/d4/d5/d6/d7/d8/deepest.wpn sub/inner.wpn w2.wpn w10.wpn");
    QCOMPARE(weapons->keys(), QStringList({"a", "b"}));
    QStringList notLoaded;
    for (const NotLoaded &file : weapons->notLoaded())
        notLoaded << file.path + ": " + file.reason;
    notLoaded.sort();
    QCOMPARE(notLoaded, QStringList({"half.wpn: The key \"a\" has no value.",
                                     "repeat.wpn: The key \"a\" appears more than once."}));
    // notes, header only, picture, backup, the second way to w2, the loop, the link out, d9.
    QCOMPARE(weapons->otherFiles(), 8);
}

// The row filter searches bytes; it must find exactly what a search of the decoded text finds.
void TestCollection::filterFoldsAsQtDoes()
{
    QStringList wrong;
    for (char16_t c = 1; c < 0x2200; ++c) {
        const QString text(QChar{c});
        const FoldedText folded(text);
        for (int byte = 0; byte < 256; ++byte) {
            const char b = char(byte);
            const bool found = code_page::decode({&b, 1}).contains(text, Qt::CaseInsensitive);
            if (folded.in({&b, 1}) != found)
                wrong << QStringLiteral("U+%1 in byte %2").arg(int(c), 0, 16).arg(byte, 0, 16);
        }
    }
    QCOMPARE(wrong, QStringList());
}

void TestCollection::importCsv_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<Files>("after");
    const Files same = kTwoWeapons;
    QTest::newRow("the export itself changes nothing")
        << QByteArray("file,damage,name,speed\r\na.wpn,25,Rifle,\r\nb.wpn,12,,3\r\n")
        << "No value will change" << same;
    QTest::newRow("values change, the rest of a file stays")
        << QByteArray("file,damage\r\na.wpn,30\r\nb.wpn,13\r\n")
        << "2 values in 2 weapons will change"
        << Files{{"a.wpn", "A\\damage\\30\\name\\Rifle\r\n"},
                 {"b.wpn", "B\\damage\\13\\speed\\3\r\nkept\n"}};
    QTest::newRow("empty field: missing stays missing, present becomes empty")
        << QByteArray("speed,file,name\r\n,a.wpn,\r\n,b.wpn,\r\n")
        << "2 values in 2 weapons will change"
        << Files{{"a.wpn", "A\\damage\\25\\name\\\r\n"},
                 {"b.wpn", "B\\damage\\12\\speed\\\r\nkept\n"}};
    QTest::newRow("a value for a missing cell adds the pair at the end")
        << QByteArray("file,speed\r\na.wpn,7\r\n") << "1 value in 1 weapon will change"
        << Files{{"a.wpn", "A\\damage\\25\\name\\Rifle\\speed\\7\r\n"}, {"b.wpn", same["b.wpn"]}};
    QTest::newRow("unknown rows and new keys are told")
        << QByteArray("file,weight,damage\r\nx.wpn,1,1\r\nb.wpn,2,12\r\nsub/y.wpn,,\r\n")
        << "1 value in 1 weapon will change; 2 rows name no weapon of this table: x.wpn, "
           "sub/y.wpn; 1 column is not a key yet and will be added to 1 weapon"
        << Files{{"a.wpn", same["a.wpn"]},
                 {"b.wpn", "B\\damage\\12\\speed\\3\\weight\\2\r\nkept\n"}};
    QTest::newRow("quoted values, high characters")
        << QByteArray("file,name\r\na.wpn,\"Caf\xC3\xA9, \"\"\xE2\x82\xAC\"\"\"\r\n")
        << "1 value in 1 weapon will change"
        << Files{{"a.wpn", "A\\damage\\25\\name\\Caf\xE9, \"\x80\"\r\n"}, {"b.wpn", same["b.wpn"]}};
    QTest::newRow("blanks at either end, a line feed, a no-break space")
        << QByteArray("file,name,damage\r\na.wpn,\"\tRifle Mk\xC2\xA0\",\"2\n5\"\r\n")
        << "2 values in 1 weapon will change"
        << Files{{"a.wpn", "A\\damage\\2\n5\\name\\\tRifle Mk\xA0\r\n"}, {"b.wpn", same["b.wpn"]}};
    // Plain ASCII is exported in wide steps; what needs quotes may sit anywhere in a value of
    // up to 32 bytes, and a value may end a line or stand well before its end.
    QTest::newRow("plain text that still needs quotes, short and long")
        << QByteArray("file,damage,name,speed\r\na.wpn,\"7,5\",\"Rifle of the long range, mark "
                      "II\",\"fast \"\r\nb.wpn,\"say \"\"hi\"\"\",,\" 3\"\r\n")
        << "5 values in 2 weapons will change"
        << Files{{"a.wpn", "A\\damage\\7,5\\name\\Rifle of the long range, mark II\\speed\\fast "
                           "\r\n"},
                 {"b.wpn", "B\\damage\\say \"hi\"\\speed\\ 3\r\nkept\n"}};
}

void TestCollection::importCsv()
{
    QFETCH(QByteArray, csv);
    QFETCH(QString, summary);
    QFETCH(Files, after);
    QTemporaryDir dir;
    writeFiles(dir, kTwoWeapons);
    const auto weapons = loadTable(dir.path());
    CsvTable table;
    CsvError error;
    QVERIFY(read_csv(csv, table, error));
    ImportPlan plan;
    QVERIFY2(plan_import(*weapons, table, plan, error), qPrintable(error.text()));
    QCOMPARE(plan.summary(), summary);
    const quint64 step = weapons->newStep();
    apply_import(*weapons, plan, step);
    const int changed = weapons->changedCount();
    QCOMPARE(changed, plan.weapons);
    // The export works on the files' bytes; it must quote and convert as the CSV writer does.
    QByteArray expected;
    append_csv_record(expected, QStringList{"file"} + weapons->keys());
    for (int row = 0; row < weapons->size(); ++row) {
        QStringList fields{weapons->record(row).path};
        for (int column = 0; column < weapons->keys().size(); ++column)
            fields << weapons->value(row, column).value_or(QString());
        append_csv_record(expected, fields);
    }
    QCOMPARE(export_csv(*weapons), expected);
    // What the edits wrote into the weapons goes out as CSV exactly as it came in.
    CsvTable exported;
    QVERIFY(read_csv(export_csv(*weapons), exported, error));
    ImportPlan again;
    QVERIFY(plan_import(*weapons, exported, again, error));
    QCOMPARE(again.summary(), "No value will change");
    const SaveReport report = save_all(*weapons, {});
    QCOMPARE(report.written, changed);
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        QCOMPARE(readBytes(dir.filePath(it.key())), it.value());
    QCOMPARE(weapons->changedCount(), 0);
    // Undone, the table is what it was, and saving again writes it back as it was.
    revert_import(*weapons, plan, step);
    QCOMPARE(weapons->changedCount(), changed);
    QCOMPARE(export_csv(*weapons), QByteArray("file,damage,name,speed\r\na.wpn,25,Rifle,\r\n"
                                              "b.wpn,12,,3\r\n"));
}

void TestCollection::importRefused_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("message");
    QTest::newRow("no file column") << QByteArray("name,damage\r\na.wpn,1\r\n")
                                    << "Line 1, column 1: no column is named \"file\", so no row "
                                       "can be matched to a weapon.";
    QTest::newRow("duplicate file") << QByteArray("file,damage\r\na.wpn,1\r\n\r\na.wpn,2\r\n")
                                    << "Line 4, column 1: \"a.wpn\" is named twice; the first is "
                                       "on line 2.";
    QTest::newRow("value with a backslash")
        << QByteArray("file,damage\r\nb.wpn,1\\2\r\n")
        << "Line 2, column 2: the value holds a backslash, which a weapon file cannot keep.";
    QTest::newRow("value outside the code page")
        << QByteArray("file,name\r\na.wpn,\xE4\xB8\xAD\r\n")
        << "Line 2, column 2: the value holds the character U+4E2D, which a weapon file cannot "
           "keep.";
    QTest::newRow("key twice") << QByteArray("file,damage,damage\r\na.wpn,1,1\r\n")
                               << "Line 1, column 3: the key \"damage\" names two columns.";
    QTest::newRow("key without a name")
        << QByteArray("file,\r\na.wpn,1\r\n") << "Line 1, column 2: the column has no key.";
    QTest::newRow("key that is a header")
        << QByteArray("file,B\r\nb.wpn,1\r\n") << "Line 2, column 2: \"B\" is the header of b.wpn.";
}

void TestCollection::importRefused()
{
    QFETCH(QByteArray, csv);
    QFETCH(QString, message);
    QTemporaryDir dir;
    writeFiles(dir, kTwoWeapons);
    const auto weapons = loadTable(dir.path());
    CsvTable table;
    CsvError error;
    QVERIFY(read_csv(csv, table, error));
    ImportPlan plan;
    QVERIFY(!plan_import(*weapons, table, plan, error));
    QCOMPARE(error.text(), message);
}

void TestCollection::saveAllAsksAndGoesOn()
{
    QTemporaryDir dir;
    writeFiles(
        dir,
        {{"a.wpn", "A\\k\\1"}, {"b.wpn", "B\\k\\1"}, {"c.wpn", "C\\k\\1"}, {"d.wpn", "D\\k\\1"}});
    const auto weapons = loadTable(dir.path());
    QList<CellEdit> edits;
    for (int row = 0; row < weapons->size(); ++row)
        edits.append({row, 0, "1", "2"});
    weapons->apply(edits, weapons->newStep());
    writeFiles(dir, {{"b.wpn", "B\\k\\changed"}, {"c.wpn", "C\\k\\changed"}});
    QVERIFY(QFile::remove(dir.filePath("d.wpn")) && QDir(dir.path()).mkdir("d.wpn"));

    QStringList asked;
    const QList<ChangedOnDisk> answers{ChangedOnDisk::Skip, ChangedOnDisk::OverwriteAll};
    const SaveReport report = save_all(*weapons, [&](const QString &location) {
        asked << QFileInfo(location).fileName();
        return answers[asked.size() - 1];
    });
    QCOMPARE(asked, QStringList({"b.wpn", "c.wpn"}));
    QCOMPARE(report.written, 2);
    QCOMPARE(report.skipped, 1);
    QCOMPARE(report.failureText(),
             QDir::toNativeSeparators(dir.filePath("d.wpn")) +
                 ": It is a folder, not a regular file, so nothing was written over it.");
    QCOMPARE(readBytes(dir.filePath("a.wpn")), "A\\k\\2\r\n");
    QCOMPARE(readBytes(dir.filePath("b.wpn")), "B\\k\\changed");
    QCOMPARE(readBytes(dir.filePath("c.wpn")), "C\\k\\2\r\n");
    QCOMPARE(weapons->changedCount(), 2);
    QVERIFY(weapons->isChanged(1) && weapons->isChanged(3));
}

void TestCollection::archiveSavedInOneRewrite()
{
    QTemporaryDir dir;
    const QString archive = dir.filePath("game.pk3");
    QVERIFY(make_zip(archive, {{"weapons/a.wpn", "A\\damage\\1\r\nrest"},
                               {"weapons/b.wpn", "B\\damage\\2", ZIP_CM_STORE},
                               {"c.wpn", "C\\damage\\3"},
                               {"readme.txt", "words"},
                               {"broken.wpn", "D\\x\\1\\x\\2"}}));
    const QStringList before = packed_entries(archive);
    const auto weapons = loadTable(archive);
    QCOMPARE(paths(*weapons), "c.wpn weapons/a.wpn weapons/b.wpn");
    QCOMPARE(weapons->otherFiles(), 1);
    QCOMPARE(weapons->notLoaded().size(), 1);
    weapons->apply({{1, 0, "1", "10"}, {2, 0, "2", "20"}}, weapons->newStep());

    const SaveReport report = save_all(*weapons, {});
    QCOMPARE(report.written, 2);
    QVERIFY(report.failures.isEmpty());
    const QStringList after = packed_entries(archive);
    QCOMPARE(after.size(), before.size());
    for (const int untouched : {2, 3, 4})
        QCOMPARE(after[untouched], before[untouched]);
    const auto again = loadTable(archive);
    QCOMPARE(export_csv(*again), QByteArray("file,damage\r\nc.wpn,3\r\nweapons/a.wpn,10\r\n"
                                            "weapons/b.wpn,20\r\n"));
    QByteArray bytes;
    QVERIFY(read_entry(archive, "weapons/a.wpn", 100, bytes));
    QCOMPARE(bytes, "A\\damage\\10\r\nrest");
}

// Every weapon file kept for the tests goes out as CSV and comes back changing nothing.
void TestCollection::roundTripOverTestFiles()
{
    const auto weapons = loadTable(QStringLiteral(ARMSMITH_TESTS_DIR));
    QVERIFY(weapons->size() >= 3);
    const QByteArray exported = export_csv(*weapons);
    CsvTable csv;
    CsvError error;
    QVERIFY2(read_csv(exported, csv, error), qPrintable(error.text()));
    ImportPlan plan;
    QVERIFY2(plan_import(*weapons, csv, plan, error), qPrintable(error.text()));
    QCOMPARE(plan.summary(), "No value will change");
    QCOMPARE(plan.edits.size(), 0);
    QCOMPARE(csv.records.size(), weapons->size() + 1);
}

void TestCollection::commandLine_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<bool>("dryRun");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QByteArray>("aAfter");
    QTest::newRow("import") << QByteArray("file,damage\r\na.wpn,30\r\n") << false << 0
                            << "1 value in 1 weapon will change\n"
                            << QByteArray("A\\damage\\30\\name\\Rifle\r\n");
    QTest::newRow("dry run writes nothing") << QByteArray("file,damage\r\na.wpn,30\r\n") << true
                                            << 0 << "1 value in 1 weapon will change\n"
                                            << kTwoWeapons["a.wpn"];
    QTest::newRow("bad CSV writes nothing")
        << QByteArray("file,damage\r\na.wpn,\"30\r\n") << false << 1 << "" << kTwoWeapons["a.wpn"];
}

void TestCollection::commandLine()
{
    QFETCH(QByteArray, csv);
    QFETCH(bool, dryRun);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QByteArray, aAfter);
    QTemporaryDir dir;
    writeFiles(dir, kTwoWeapons);
    writeFiles(dir, {{"in/import.csv", csv}});
    FILE *output = std::tmpfile(), *errors = std::tmpfile();
    QCOMPARE(import_csv_command(dir.filePath("in/import.csv"), dir.path(), dryRun, output, errors),
             status);
    QFile said;
    QVERIFY(said.open(output, QIODevice::ReadOnly) && said.seek(0));
    QCOMPARE(QString::fromUtf8(said.readAll()), out);
    QFile complained;
    QVERIFY(complained.open(errors, QIODevice::ReadOnly) && complained.seek(0));
    QCOMPARE(complained.readAll().isEmpty(), status == 0);
    QCOMPARE(readBytes(dir.filePath("a.wpn")), aAfter);
    QCOMPARE(readBytes(dir.filePath("b.wpn")), kTwoWeapons["b.wpn"]);
    std::fclose(output);
    std::fclose(errors);

    // The export of what is now on disk, to a file.
    const QString exported = dir.filePath("out.csv");
    const QByteArray expected =
        "file,damage,name,speed\r\na.wpn," + aAfter.mid(9, 2) + ",Rifle,\r\nb.wpn,12,,3\r\n";
    QCOMPARE(export_csv_command(dir.path(), exported, stdout, stderr), 0);
    QCOMPARE(readBytes(exported), expected);
    // Again onto a disk that takes only a few bytes: it fails, and the file stays whole.
    ignore_file_size_signal();
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit before = limit;
    limit.rlim_cur = 16;
    setrlimit(RLIMIT_FSIZE, &limit);
    errors = std::tmpfile();
    const int full = export_csv_command(dir.path(), exported, stdout, errors);
    setrlimit(RLIMIT_FSIZE, &before);
    QCOMPARE(full, 1);
    QFile told;
    QVERIFY(told.open(errors, QIODevice::ReadOnly) && told.seek(0));
    QVERIFY(told.readAll().contains("out.csv"));
    told.close();
    std::fclose(errors);
    QCOMPARE(readBytes(exported), expected);
}

QTEST_GUILESS_MAIN(TestCollection)
#include "test_collection.moc"
