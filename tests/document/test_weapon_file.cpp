#include "document/code_page.h"
#include "document/weapon_file.h"
#include "tests/document/test_support.h"

#include <QRandomGenerator>
#include <QSet>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

// Byte strings with NULs and escapes, kept whole.
#define BYTES(literal) QByteArray(literal, sizeof(literal) - 1)

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

// The folder's entries and the bytes at weapon.txt, to show that a failed save left no trace.
QStringList snapshot(const QDir &dir)
{
    return dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
           << bytesOf(dir.filePath("weapon.txt")).toHex();
}

const QByteArray kTwoPairsFile = "H\\a\\1\\b\\2\r\nsecond line\r\n";

} // namespace

class TestWeaponFile : public QObject
{
    Q_OBJECT

private slots:
    void codePageIsOneToOne()
    {
        // Windows-1252 from 0x80 to 0x9F, its five undefined bytes standing for the C1 controls;
        // every other byte is the code point of the same number.
        const QString high =
            QStringLiteral("€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008DŽ\u008F\u0090‘’“”•–—˜™š›œ\u009DžŸ");
        QByteArray bytes;
        QString text;
        for (int b = 0; b < 256; ++b) {
            bytes += static_cast<char>(b);
            text += b >= 0x80 && b < 0xA0 ? high[b - 0x80] : QChar(b);
        }
        QCOMPARE(code_page::decode(bytes), text);
        QByteArray encoded = "left over";
        QVERIFY(code_page::encode(text, encoded));
        QCOMPARE(encoded, bytes);
    }

    void loadsAndSavesBack_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("tree");

        QTest::newRow("lone header") << BYTES("H") << "H [7 k E S]";
        QTest::newRow("LF belongs to the line, a lone CR ends it")
            << BYTES("H\\a\\1\n\\b\\2\rX\\y\r\n")
            << "H [7 k E S]\n  a [3 k B E]\n    1<0a> [4]\n  b [3 k B E]\n    2 [4]";
        QTest::newRow("windows-1252, its undefined bytes, NUL and controls")
            << BYTES("\0\x80\xe9\\\x81\x01\\\x9f\x8d\t")
            << QString("<00>€é [7 k E S]\n  <81><01> [3 k B E]\n    Ÿ<8d><09> [4]");
    }

    void loadsAndSavesBack()
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

    void loadFailures_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<WeaponFileStatus>("status");
        QTest::addColumn<QString>("tree");
        using S = WeaponFileStatus;

        // A null file stands for nothing at the path.
        QTest::newRow("missing file") << QByteArray() << S::CannotRead << "";
        QTest::newRow("empty file") << BYTES("") << S::Empty << "";
        QTest::newRow("empty first line") << BYTES("\r\nH\\a\\1") << S::Empty << "";
        QTest::newRow("repeated key")
            << BYTES("H\\a\\1\\a\\2") << S::RepeatedKey << "H [7 k]\n  a [3 k B E]\n    1 [4]";
        QTest::newRow("empty key equal to an empty header")
            << BYTES("\\\\1") << S::RepeatedKey << " [7 k]";
        QTest::newRow("line ending in a backslash: a key without value")
            << BYTES("H\\a\\1\\") << S::KeyWithoutValue
            << "H [7 k]\n  a [3 k B E]\n    1 [4]\n   [3 k B]";
        QByteArray largest = "H";
        QString largestTree = "H [7 k]";
        for (int i = 0; i < 16383; ++i) {
            largest += "\\k" + QByteArray::number(i) + "\\v" + QByteArray::number(i);
            largestTree += QStringLiteral("\n  k%1 [3 k B E]\n    v%1 [4]").arg(i);
        }
        QTest::newRow("one pair more than the tree holds")
            << largest + "\\k\\v" << S::TooManyNodes << largestTree;
    }

    void loadFailures()
    {
        QFETCH(QByteArray, file);
        QFETCH(WeaponFileStatus, status);
        QFETCH(QString, tree);

        QTemporaryDir dir;
        const QString path = dir.filePath("weapon.txt");
        if (!file.isNull())
            QVERIFY(put(path, file));
        WeaponTree weaponTree;
        weaponTree.addRoot("Old");
        QSignalSpy started(&weaponTree, &WeaponTree::batchStarted);
        QSignalSpy finished(&weaponTree, &WeaponTree::batchFinished);
        const WeaponFileResult result = load_weapon(weaponTree, path);
        QCOMPARE(result.status, status);
        QVERIFY(!result.reason.isEmpty());
        QCOMPARE(dump(weaponTree), tree);
        // Observers that wait for the batch to end must hear of it on every way out.
        QCOMPARE(started.count(), 1);
        QCOMPARE(finished.count(), 1);
    }

    void randomLinesRoundTrip()
    {
        constexpr quint32 kSeed = 20240611;
        QRandomGenerator random(kSeed);
        const auto token = [&random](int shortest) {
            QByteArray bytes;
            for (int length = random.bounded(shortest, 9); bytes.size() < length;)
                bytes += static_cast<char>(random.bounded(256));
            // A separator would split the token.
            return bytes.replace('\\', 'x').replace('\r', 'y');
        };

        QTemporaryDir dir;
        const QString path = dir.filePath("weapon.txt");
        // The last two lines are as long as the format allows.
        for (int run = 0; run < 202; ++run) {
            const int pairs = run < 200 ? random.bounded(12) : 16383;
            QByteArray line = token(pairs == 0 ? 1 : 0);
            for (QSet<QByteArray> keys{line}; keys.size() <= pairs;) {
                const QByteArray key = token(0);
                if (!keys.contains(key))
                    line += '\\' + key + '\\' + token(0);
                keys.insert(key);
            }
            const QByteArray where =
                "seed " + QByteArray::number(kSeed) + ", line " + QByteArray::number(run);
            QVERIFY2(put(path, line), where);
            WeaponTree tree;
            QVERIFY2(load_weapon(tree, path).ok() && tree.nodes().Count() == 1 + 2 * pairs, where);
            QVERIFY2(save_weapon(tree, path).ok() && bytesOf(path) == line + "\r\n", where);
        }
    }

    void savesEditsThroughLinkKeepingMode()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath("target.txt");
        const QString link = dir.filePath("link.txt");
        QVERIFY(put(target, kTwoPairsFile));
        // Neither the default for new files nor what a private temporary file gets.
        QCOMPARE(::chmod(QFile::encodeName(target).constData(), 0604), 0);
        QVERIFY(QFile::link(target, link));
        WeaponTree tree;
        QCOMPARE(load_weapon(tree, link).status, WeaponFileStatus::Ok);
        tree.setText(2, "A");
        QVERIFY(tree.appendPair(QString("H"), "c", "3"));
        QCOMPARE(save_weapon(tree, link).status, WeaponFileStatus::Ok);
        // No path, or no weapon: nothing to write, and the file stays as saved.
        QCOMPARE(save_weapon(tree, QString()).status, WeaponFileStatus::Ok);
        QCOMPARE(save_weapon(WeaponTree(), link).status, WeaponFileStatus::Empty);

        QCOMPARE(bytesOf(target), BYTES("H\\A\\1\\b\\2\\c\\3\r\n"));
        QCOMPARE(QFileInfo(link).symLinkTarget(), target);
        struct stat info = {};
        QCOMPARE(::stat(QFile::encodeName(target).constData(), &info), 0);
        QCOMPARE(info.st_mode & 07777, 0604u);
    }

    void saveFailures_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("nodes");
        // The node the refusal names, or 0 when the file system refuses instead.
        QTest::addColumn<int>("named");
        const QString none;

        QTest::newRow("backslash in a value") << none << "x\\y" << QList{3} << 3;
        QTest::newRow("CR in the header") << none << "H\rX" << QList{1} << 1;
        QTest::newRow("U+0080, whose byte is the euro sign, in a key")
            << none << QString(QChar(0x80)) << QList{2} << 2;
        QTest::newRow("U+0100, the first past Latin-1, in the last node")
            << none << QString(QChar(0x100)) << QList{5} << 5;
        QTest::newRow("the first of two bad nodes is named") << none << "☃" << QList{5, 3} << 3;
        QTest::newRow("path through a regular file") << "file" << none << QList<int>{} << 0;
        QTest::newRow("folder where the file should be") << "folder" << none << QList<int>{} << 0;
        QTest::newRow("disk full") << "full" << QString(4096, u'x') << QList{3} << 0;
    }

    void saveFailures()
    {
        QFETCH(QString, obstacle);
        QFETCH(QString, text);
        QFETCH(QList<int>, nodes);
        QFETCH(int, named);

        QTemporaryDir dir;
        const QString path = dir.filePath("weapon.txt");
        QVERIFY(obstacle == "folder" ? QDir(dir.path()).mkdir("weapon.txt")
                                     : put(path, kTwoPairsFile));
        WeaponTree tree;
        QVERIFY(build_weapon_tree(tree, "H\\a\\1\\b\\2").ok());
        for (const int node : nodes)
            tree.setText(static_cast<NodeIndex>(node), text);
        const QStringList before = snapshot(dir.path());

        // A lower limit on the files this process writes stands in for a full disk, even for root.
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const rlimit full{1024, old.rlim_max};
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (obstacle == "full")
            setrlimit(RLIMIT_FSIZE, &full);
        const WeaponFileResult result = save_weapon(tree, path + (obstacle == "file" ? "/x" : ""));
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);

        QCOMPARE(result.status,
                 named ? WeaponFileStatus::UnwritableText : WeaponFileStatus::CannotWrite);
        QCOMPARE(result.node, named);
        QVERIFY(!result.reason.isEmpty());
        QCOMPARE(snapshot(dir.path()), before);
    }
};

QTEST_GUILESS_MAIN(TestWeaponFile)
#include "test_weapon_file.moc"
