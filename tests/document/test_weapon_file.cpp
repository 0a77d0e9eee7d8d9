#include "document/weapon_file.h"
#include "tests/document/test_support.h"

#include <QDirIterator>
#include <QRandomGenerator>
#include <QSet>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using test_support::dump;

namespace
{

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool put(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Every entry under root with its bytes, to show that a failed save left no trace at all.
QStringList snapshot(const QString &root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        const QString name = QDir(root).relativeFilePath(info.filePath());
        entries << (info.isDir() ? name + "/" : name + ": " + bytesOf(info.filePath()).toHex());
    }
    entries.sort();
    return entries;
}

QByteArray pairsLine(int pairs)
{
    QByteArray line = "H";
    for (int i = 0; i < pairs; ++i)
        line += "\\k" + QByteArray::number(i) + "\\v" + QByteArray::number(i);
    return line;
}

// "N=text" sets the text of node N; "+key=value" appends a pair, as New Key does.
void edit(WeaponTree &tree, const QStringList &edits)
{
    for (const QString &e : edits) {
        const qsizetype eq = e.indexOf(u'=');
        if (e.startsWith(u'+'))
            QVERIFY(tree.appendPair(*tree.nodes().Item(1), e.mid(1, eq - 1), e.mid(eq + 1)));
        else
            tree.nodes().Item(static_cast<NodeIndex>(e.left(eq).toInt()))->setText(e.mid(eq + 1));
    }
}

// Lowers the largest file this process may write, to stand in for a full disk even for root.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes) : m_oldHandler(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit lower = m_old;
        lower.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int);
};

const QString kTwoPairsLoaded = "H [7 k E S]\n  a [3 k B E]\n    1 [4]\n  b [3 k B E]\n    2 [4]";

} // namespace

class TestWeaponFile : public QObject
{
    Q_OBJECT

private slots:
    void loadsAndSavesBack_data();
    void loadsAndSavesBack();
    void loadFailures_data();
    void loadFailures();
    void tooManyTokens_data();
    void tooManyTokens();
    void randomLinesRoundTrip();
    void savesEdits_data();
    void savesEdits();
    void unwritableText_data();
    void unwritableText();
    void cannotWrite_data();
    void cannotWrite();
    void keepsPermissions();
    void writesThroughSymlink();
    void emptyPathWritesNothing();
};

void TestWeaponFile::loadsAndSavesBack_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("tree");

    QTest::newRow("lone header") << BYTES("H") << "H [7 k E S]";
    QTest::newRow("two pairs") << BYTES("H\\a\\1\\b\\2") << kTwoPairsLoaded;
    QTest::newRow("empty value")
        << BYTES("H\\a\\\\b\\2")
        << "H [7 k E S]\n  a [3 k B E]\n     [4]\n  b [3 k B E]\n    2 [4]";
    QTest::newRow("empty key") << BYTES("H\\\\1") << "H [7 k E S]\n   [3 k B E]\n    1 [4]";
    QTest::newRow("empty header") << BYTES("\\a\\1") << " [7 k E S]\n  a [3 k B E]\n    1 [4]";
    QTest::newRow("keys differing only in case")
        << BYTES("H\\Damage\\1\\damage\\2")
        << "H [7 k E S]\n  Damage [3 k B E]\n    1 [4]\n  damage [3 k B E]\n    2 [4]";
    QTest::newRow("CR LF ends the line, later lines are lost")
        << BYTES("H\\a\\1\\b\\2\r\nX\\y\\z\r\n") << kTwoPairsLoaded;
    QTest::newRow("lone CR ends the line") << BYTES("H\\a\\1\\b\\2\rX") << kTwoPairsLoaded;
    QTest::newRow("LF belongs to the line")
        << BYTES("H\\a\\1\nX\\b\\2\n")
        << "H [7 k E S]\n  a [3 k B E]\n    1<0a>X [4]\n  b [3 k B E]\n    2<0a> [4]";
    QTest::newRow("windows-1252 letters")
        << BYTES("\x80\\\xe9\\\x9f") << QString::fromUtf8("€ [7 k E S]\n  é [3 k B E]\n    Ÿ [4]");
    QTest::newRow("bytes windows-1252 leaves undefined")
        << BYTES("\x81\\\x8d\\\x8f\\\x90\\\x9d")
        << "<81> [7 k E S]\n  <8d> [3 k B E]\n    <8f> [4]\n  <90> [3 k B E]\n    <9d> [4]";
    QTest::newRow("NUL and control bytes")
        << BYTES("\0H\x01\\\x1b\\\x7f\t")
        << "<00>H<01> [7 k E S]\n  <1b> [3 k B E]\n    <7f><09> [4]";
}

void TestWeaponFile::loadsAndSavesBack()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, tree);

    QTemporaryDir dir;
    const QString path = dir.filePath("weapon.txt");
    QVERIFY(put(path, file));
    WeaponTree weaponTree;
    QCOMPARE(load_weapon(weaponTree, path).status, WeaponFileStatus::Ok);
    QCOMPARE(dump(weaponTree), tree);
    QCOMPARE(save_weapon(weaponTree, path).status, WeaponFileStatus::Ok);
    QCOMPARE(bytesOf(path), file.split('\r').constFirst() + "\r\n");
}

void TestWeaponFile::loadFailures_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<WeaponFileStatus>("status");
    QTest::addColumn<QString>("tree");
    using S = WeaponFileStatus;

    QTest::newRow("missing file") << "missing" << QByteArray() << S::CannotRead << "";
    QTest::newRow("folder") << "folder" << QByteArray() << S::CannotRead << "";
    QTest::newRow("empty file") << "file" << QByteArray() << S::Empty << "";
    QTest::newRow("empty first line") << "file" << BYTES("\r\nH\\a\\1") << S::Empty << "";
    QTest::newRow("empty first line ended by a lone CR")
        << "file" << BYTES("\rH") << S::Empty << "";
    QTest::newRow("repeated key") << "file" << BYTES("H\\a\\1\\a\\2") << S::RepeatedKey
                                  << "H [7 k]\n  a [3 k B E]\n    1 [4]";
    QTest::newRow("key equal to the header")
        << "file" << BYTES("H\\H\\1") << S::RepeatedKey << "H [7 k]";
    QTest::newRow("second empty key")
        << "file" << BYTES("H\\\\1\\\\2") << S::RepeatedKey << "H [7 k]\n   [3 k B E]\n    1 [4]";
    QTest::newRow("empty key equal to an empty header")
        << "file" << BYTES("\\\\1") << S::RepeatedKey << " [7 k]";
    QTest::newRow("line ending in a backslash")
        << "file" << BYTES("H\\a\\1\\") << S::KeyWithoutValue
        << "H [7 k]\n  a [3 k B E]\n    1 [4]\n   [3 k B]";
    QTest::newRow("key without value before CR LF")
        << "file" << BYTES("H\\a\r\n1") << S::KeyWithoutValue << "H [7 k]\n  a [3 k B]";
}

void TestWeaponFile::loadFailures()
{
    QFETCH(QString, source);
    QFETCH(QByteArray, file);
    QFETCH(WeaponFileStatus, status);
    QFETCH(QString, tree);

    QTemporaryDir dir;
    const QString good = dir.filePath("good.txt");
    const QString path = dir.filePath("weapon.txt");
    QVERIFY(put(good, "Old\\x\\y"));
    if (source == "file")
        QVERIFY(put(path, file));
    else if (source == "folder")
        QVERIFY(QDir(dir.path()).mkdir("weapon.txt"));

    WeaponTree weaponTree;
    QCOMPARE(load_weapon(weaponTree, good).status, WeaponFileStatus::Ok);
    QSignalSpy started(&weaponTree, &WeaponTree::batchStarted);
    QSignalSpy finished(&weaponTree, &WeaponTree::batchFinished);
    const WeaponFileResult result = load_weapon(weaponTree, path);
    QCOMPARE(result.status, status);
    QVERIFY(!result.reason.isEmpty());
    QCOMPARE(dump(weaponTree), tree);
    // Observers that wait for the batch to end must hear of it on every way out.
    QCOMPARE(started.count(), 1);
    QCOMPARE(finished.count(), 1);

    QCOMPARE(load_weapon(weaponTree, good).status, WeaponFileStatus::Ok);
    QCOMPARE(dump(weaponTree), QString("Old [7 k E S]\n  x [3 k B E]\n    y [4]"));
    QCOMPARE(save_weapon(weaponTree, good).status, WeaponFileStatus::Ok);
    QCOMPARE(bytesOf(good), BYTES("Old\\x\\y\r\n"));
}

void TestWeaponFile::tooManyTokens_data()
{
    QTest::addColumn<QByteArray>("file");

    QTest::newRow("one pair more than the tree holds") << pairsLine(16384);
    QTest::newRow("a lone key after the largest file") << pairsLine(16383) + "\\extra";
}

void TestWeaponFile::tooManyTokens()
{
    QFETCH(QByteArray, file);

    QTemporaryDir dir;
    const QString path = dir.filePath("weapon.txt");
    QVERIFY(put(path, file));
    WeaponTree tree;
    QCOMPARE(load_weapon(tree, path).status, WeaponFileStatus::TooManyNodes);
    QCOMPARE(tree.nodes().Count(), kMaxNodes);
    QCOMPARE(tree.nodes().Item(kMaxNodes)->Text(), QString("v16382"));
    QVERIFY(!tree.SelectedItem());
}

void TestWeaponFile::randomLinesRoundTrip()
{
    constexpr quint32 kSeed = 20240611;
    QRandomGenerator random(kSeed);
    const auto token = [&random](int shortest) {
        QByteArray bytes;
        for (int length = random.bounded(shortest, 9); bytes.size() < length;) {
            const char c = static_cast<char>(random.bounded(256));
            if (c != '\\' && c != '\r')
                bytes += c;
        }
        return bytes;
    };

    QTemporaryDir dir;
    const QString path = dir.filePath("weapon.txt");
    for (int run = 0; run < 202; ++run) {
        const int pairs = run < 200 ? random.bounded(12) : 16383;
        const QByteArray header = token(pairs == 0 ? 1 : 0);
        QSet<QByteArray> keys{header};
        QByteArray line = header;
        for (int i = 0; i < pairs; ++i) {
            QByteArray key;
            do
                key = token(0);
            while (keys.contains(key));
            keys.insert(key);
            line += '\\' + key + '\\' + token(0);
        }
        const QByteArray where =
            QStringLiteral("seed %1, line %2").arg(kSeed).arg(run).toLocal8Bit();
        QVERIFY2(put(path, line), where);
        WeaponTree tree;
        QVERIFY2(load_weapon(tree, path).ok(), where);
        QVERIFY2(tree.nodes().Count() == 1 + 2 * pairs, where);
        QVERIFY2(save_weapon(tree, path).ok(), where);
        QVERIFY2(bytesOf(path) == line + "\r\n", where);
    }
}

void TestWeaponFile::savesEdits_data()
{
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<QByteArray>("saved");

    QTest::newRow("edited value") << QStringList{"3=9"} << BYTES("H\\a\\9\\b\\2\r\n");
    QTest::newRow("emptied value") << QStringList{"5="} << BYTES("H\\a\\1\\b\\\r\n");
    QTest::newRow("a key is written by its text")
        << QStringList{"2=A"} << BYTES("H\\A\\1\\b\\2\r\n");
    QTest::newRow("LF in a value") << QStringList{"3=x\ny"} << BYTES("H\\a\\x\ny\\b\\2\r\n");
    QTest::newRow("characters of the code page") << QStringList{QString::fromUtf8("3=€Ÿ\u0081é")}
                                                 << BYTES("H\\a\\\x80\x9f\x81\xe9\\b\\2\r\n");
    QTest::newRow("appended pair goes to the end")
        << QStringList{"+c=3"} << BYTES("H\\a\\1\\b\\2\\c\\3\r\n");
    QTest::newRow("edit and pair together")
        << QStringList{"+c=3", "3=9", "7=7"} << BYTES("H\\a\\9\\b\\2\\c\\7\r\n");
}

void TestWeaponFile::savesEdits()
{
    QFETCH(QStringList, edits);
    QFETCH(QByteArray, saved);

    QTemporaryDir dir;
    const QString path = dir.filePath("weapon.txt");
    QVERIFY(put(path, "H\\a\\1\\b\\2\r\nsecond line\r\n"));
    WeaponTree tree;
    QCOMPARE(load_weapon(tree, path).status, WeaponFileStatus::Ok);
    edit(tree, edits);
    QCOMPARE(save_weapon(tree, path).status, WeaponFileStatus::Ok);
    QCOMPARE(bytesOf(path), saved);
}

void TestWeaponFile::unwritableText_data()
{
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<int>("node");

    QTest::newRow("backslash in a value") << QStringList{"3=x\\y"} << 3;
    QTest::newRow("CR in the header") << QStringList{"1=H\rX"} << 1;
    QTest::newRow("character outside the code page") << QStringList{QString::fromUtf8("5=☃")} << 5;
    QTest::newRow("U+0080, whose byte is the euro sign")
        << QStringList{QString::fromUtf8("2=\u0080")} << 2;
    QTest::newRow("character beyond 16 bits") << QStringList{QString::fromUtf8("4=😀")} << 4;
    QTest::newRow("the first bad node is named") << QStringList{"5=\\", "3=\r"} << 3;
    QTest::newRow("bad text in an appended pair") << QStringList{"+c=a\\b"} << 7;
}

void TestWeaponFile::unwritableText()
{
    QFETCH(QStringList, edits);
    QFETCH(int, node);

    QTemporaryDir dir;
    const QString path = dir.filePath("weapon.txt");
    QVERIFY(put(path, "H\\a\\1\\b\\2\r\nsecond line\r\n"));
    WeaponTree tree;
    QCOMPARE(load_weapon(tree, path).status, WeaponFileStatus::Ok);
    const QStringList before = snapshot(dir.path());
    edit(tree, edits);
    const WeaponFileResult result = save_weapon(tree, path);
    QCOMPARE(result.status, WeaponFileStatus::UnwritableText);
    QCOMPARE(result.node, node);
    QVERIFY(!result.reason.isEmpty());
    QCOMPARE(snapshot(dir.path()), before);
}

void TestWeaponFile::cannotWrite_data()
{
    QTest::addColumn<QString>("obstacle");

    QTest::newRow("path through a regular file") << "file";
    QTest::newRow("folder where the file should be") << "folder";
    QTest::newRow("disk full") << "full";
}

void TestWeaponFile::cannotWrite()
{
    QFETCH(QString, obstacle);

    QTemporaryDir dir;
    QString path = dir.filePath("weapon.txt");
    if (obstacle == "file") {
        QVERIFY(put(path, "H\\a\\1\r\n"));
        path += "/weapon.txt";
    } else if (obstacle == "folder") {
        QVERIFY(QDir(dir.path()).mkdir("weapon.txt"));
        QVERIFY(put(path + "/inside.txt", "H\\a\\1\r\n"));
    } else {
        QVERIFY(put(path, "H\\a\\1\r\n"));
    }
    WeaponTree tree;
    tree.addRoot("H");
    tree.appendPair(QString("H"), "a", QString(4096, u'x'));
    const QStringList before = snapshot(dir.path());

    WeaponFileResult result;
    {
        const FileSizeLimit limit(obstacle == "full" ? 1024 : RLIM_INFINITY);
        result = save_weapon(tree, path);
    }
    QCOMPARE(result.status, WeaponFileStatus::CannotWrite);
    QVERIFY(!result.reason.isEmpty());
    QCOMPARE(snapshot(dir.path()), before);

    QCOMPARE(save_weapon(tree, dir.filePath("other.txt")).status, WeaponFileStatus::Ok);
}

void TestWeaponFile::keepsPermissions()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("weapon.txt");
    QVERIFY(put(path, "H\\a\\1"));
    // Neither the default for new files nor what a private temporary file gets.
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0604), 0);
    WeaponTree tree;
    QCOMPARE(load_weapon(tree, path).status, WeaponFileStatus::Ok);
    QCOMPARE(save_weapon(tree, path).status, WeaponFileStatus::Ok);

    struct stat info = {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
    QCOMPARE(info.st_mode & 07777, 0604u);
    QCOMPARE(bytesOf(path), BYTES("H\\a\\1\r\n"));
}

void TestWeaponFile::writesThroughSymlink()
{
    QTemporaryDir dir;
    const QString target = dir.filePath("target.txt");
    const QString link = dir.filePath("link.txt");
    QVERIFY(put(target, "H\\a\\1"));
    QVERIFY(QFile::link(target, link));
    WeaponTree tree;
    QCOMPARE(load_weapon(tree, link).status, WeaponFileStatus::Ok);
    tree.nodes().Item(3)->setText("2");
    QCOMPARE(save_weapon(tree, link).status, WeaponFileStatus::Ok);

    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(QFileInfo(link).symLinkTarget(), target);
    QCOMPARE(bytesOf(target), BYTES("H\\a\\2\r\n"));
}

void TestWeaponFile::emptyPathWritesNothing()
{
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    WeaponTree tree;
    tree.addRoot("H");
    const WeaponFileResult result = save_weapon(tree, QString());
    QVERIFY(QDir::setCurrent(previous));
    QCOMPARE(result.status, WeaponFileStatus::Ok);
    QCOMPARE(snapshot(dir.path()), QStringList{});
}

QTEST_GUILESS_MAIN(TestWeaponFile)
#include "test_weapon_file.moc"
