#include "document/weapon_file.h"
#include "tests/document/test_support.h"

#include <QRandomGenerator>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

// Byte strings with NULs and escapes, kept whole.
#define BYTES(literal) QByteArray(literal, sizeof(literal) - 1)
using S = WeaponFileStatus;

// Reads the file when given no bytes; a null result means it failed.
static QByteArray file(const QString &path, const QByteArray &bytes = {})
{
    QFile f(path);
    if (bytes.isNull())
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? bytes : QByteArray();
}

class TestWeaponFile : public QObject
{
    Q_OBJECT

private slots:
    void loadsAndSavesBack_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("tree");
        QTest::newRow("lone LF kept, lone CR ends the line")
            << BYTES("H\\a\\1\n\\b\\2\rX\\y\r\n")
            << "H [7 k E S]\n  a [3 k B E]\n    1<0a> [4]\n  b [3 k B E]\n    2 [4]\n";
        QTest::newRow("0x80 to 0x9F, NUL and controls; CRLF ends the line, later lines dropped")
            << BYTES("\0\t\x80\x81\x82\x83\x84\x85\x86\x87\x88\x89\x8a\x8b\x8c\x8d\x8e\x8f\x90\x91"
                     "\x92\x93\x94\x95\x96\x97\x98\x99\x9a\x9b\x9c\x9d\x9e\x9f\xe9\r\nnext\r\n")
            << "<00><09>€<81>‚ƒ„…†‡ˆ‰Š‹Œ<8d>Ž<8f><90>‘’“”•–—˜™š›œ<9d>žŸé [7 k E S]\n";
        QTest::newRow("empty value") << BYTES("H\\a\\") << "H [7 k E S]\n  a [3 k B E]\n     [4]\n";

        // Any byte but the separator and CR, the tree left unchecked; the last line as long as
        // the format allows.
        const quint32 seed = 20240611;
        QRandomGenerator random(seed);
        const auto token = [&random](int shortest) {
            QByteArray bytes;
            for (int length = random.bounded(shortest, 9); bytes.size() < length;)
                bytes += static_cast<char>(random.bounded(256));
            return bytes.replace('\\', 'x').replace('\r', 'y');
        };
        for (int run = 0; run <= 300; ++run) {
            const int pairs = run < 300 ? random.bounded(12) : 16383;
            QByteArray line = token(pairs == 0 ? 1 : 0);
            for (QSet<QByteArray> keys{line}; keys.size() <= pairs;) {
                const QByteArray key = token(0);
                if (!keys.contains(key))
                    line += '\\' + key + '\\' + token(0);
                keys.insert(key);
            }
            QTest::addRow("seed %u, random line %d", seed, run) << line << QString();
        }
    }

    void loadsAndSavesBack()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, tree);
        QTemporaryDir dir;
        const QString path = dir.filePath("weapon.txt");
        const QByteArray first = bytes.split('\r').constFirst();
        WeaponTree weaponTree;
        QVERIFY(!file(path, bytes).isNull() && load_weapon(weaponTree, path).ok());
        QCOMPARE(weaponTree.count(), first.count('\\') + 1);
        if (!tree.isNull())
            QCOMPARE(dump(weaponTree), tree);
        QVERIFY(save_weapon(weaponTree, path).ok());
        QCOMPARE(file(path), first + "\r\n");
    }

    void loadFailures_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<WeaponFileStatus>("status");
        QTest::addColumn<QString>("tree");
        QTest::newRow("missing file") << QByteArray() << S::CannotRead << "";
        QTest::newRow("empty first line") << BYTES("\r\nH\\a\\1") << S::Empty << "";
        QTest::newRow("repeated key")
            << BYTES("H\\a\\1\\a\\2") << S::RepeatedKey << "H [7 k]\n  a [3 k B E]\n    1 [4]\n";
        QTest::newRow("empty key equal to the empty header")
            << BYTES("\\\\1") << S::RepeatedKey << " [7 k]\n";
        QTest::newRow("line ending in a backslash: a key without value")
            << BYTES("H\\a\\1\\") << S::KeyWithoutValue
            << "H [7 k]\n  a [3 k B E]\n    1 [4]\n   [3 k B]\n";
        QByteArray line = "H";
        QString tree = "H [7 k]\n";
        for (int i = 0; i < 16383; ++i) {
            line += "\\k" + QByteArray::number(i) + "\\v" + QByteArray::number(i);
            tree += QStringLiteral("  k%1 [3 k B E]\n    v%1 [4]\n").arg(i);
        }
        QTest::newRow("one pair more than the tree holds")
            << line + "\\k\\v" << S::TooManyNodes << tree;
    }

    void loadFailures()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(WeaponFileStatus, status);
        QFETCH(QString, tree);
        QTemporaryDir dir;
        const QString path = dir.filePath("weapon.txt");
        QVERIFY(bytes.isNull() || !file(path, bytes).isNull());
        WeaponTree weaponTree;
        weaponTree.addRoot("Old");
        const WeaponFileResult result = load_weapon(weaponTree, path);
        QCOMPARE(result.status, status);
        QVERIFY(!result.reason.isEmpty());
        QCOMPARE(dump(weaponTree), tree);
        // Observers that wait for the batch to end must hear of it on every way out.
        QVERIFY(!weaponTree.inBatch());
    }

    void saveFailures_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<WeaponFileStatus>("status");
        QTest::addColumn<int>("named");
        const QString w = "weapon.txt";
        QTest::newRow("CR in the header")
            << w << QStringList{"H\rX", "a", "1"} << S::UnwritableText << 1;
        QTest::newRow("U+0080, whose byte is the euro sign, in a key")
            << w << QStringList{"H", QChar(0x80), "1"} << S::UnwritableText << 2;
        QTest::newRow("U+0100, the first past Latin-1, in the last node")
            << w << QStringList{"H", "a", "1", "b", QChar(0x100)} << S::UnwritableText << 5;
        QTest::newRow("backslash in two values: the first is named")
            << w << QStringList{"H", "a", "x\\y", "b", "x\\y"} << S::UnwritableText << 3;
        QTest::newRow("disk full")
            << w << QStringList{"H", "a", QString(4096, u'x')} << S::CannotWrite << 0;
        QTest::newRow("path through a regular file")
            << w + "/inner.txt" << QStringList{"H"} << S::CannotWrite << 0;
        QTest::newRow("folder at the path") << "folder" << QStringList{"H"} << S::CannotWrite << 0;
        QTest::newRow("empty tree") << w << QStringList() << S::Empty << 0;
    }

    void saveFailures()
    {
        QFETCH(QString, target);
        QFETCH(QStringList, texts);
        QFETCH(WeaponFileStatus, status);
        QFETCH(int, named);
        QTemporaryDir dir;
        const QString path = dir.filePath("weapon.txt");
        const QByteArray saved = "H\\a\\1\\b\\2\r\nsecond line\r\n";
        QVERIFY(!file(path, saved).isNull() && QDir(dir.path()).mkdir("folder"));
        WeaponTree tree;
        if (!texts.isEmpty())
            tree.addRoot(texts[0]);
        for (int i = 1; i + 1 < texts.size(); i += 2)
            QVERIFY(tree.appendPair(Node(&tree, 1), texts[i], texts[i + 1]));

        // A low limit on the files this process writes stands in for a full disk, even for root.
        rlimit was{};
        getrlimit(RLIMIT_FSIZE, &was);
        const rlimit limit{1024, was.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limit);
        const WeaponFileResult result = save_weapon(tree, dir.filePath(target));
        setrlimit(RLIMIT_FSIZE, &was);
        QCOMPARE(result.status, status);
        QCOMPARE(result.node, named);
        QVERIFY(!result.reason.isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"weapon.txt"});
        QCOMPARE(file(path), saved);
        QVERIFY(QFileInfo(dir.filePath("folder")).isDir());
    }

    void saveKeepsModeAndFollowsLink()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("weapon.txt"), link = dir.filePath("link.txt");
        QVERIFY(!file(path, "old\r\n").isNull() && chmod(qPrintable(path), 0604) == 0);
        WeaponTree tree;
        QVERIFY(QFile::link(path, link) && build_weapon_tree(tree, "H\\a\\1").ok());
        QVERIFY(save_weapon(tree, link).ok() && QFileInfo(link).isSymLink());
        QCOMPARE(file(path), QByteArray("H\\a\\1\r\n"));
        struct stat info {
        };
        QVERIFY(stat(qPrintable(path), &info) == 0);
        QCOMPARE(info.st_mode & 07777, 0604u);
    }
};

QTEST_GUILESS_MAIN(TestWeaponFile)
#include "test_weapon_file.moc"
