#include "document/weapon_file.h"
#include "tests/document/test_support.h"

#include <QRandomGenerator>

#include <csignal>
#include <sys/resource.h>

using namespace Qt::Literals::StringLiterals;
using S = WeaponFileStatus;

// Writes bytes to path, or reads path when given none; a null result means it failed.
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
    // What was read, as a tree when given, and the first line saved back ended by CR LF.
    void loadsAndSavesBack_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("tree");
        QTest::newRow("lone LF kept, lone CR ends the line")
            << "H\\a\\1\n\\b\\2\rX\\y\r\n"_ba
            << "H [7 k E S]\n  a [3 k B E]\n    1<0a> [4]\n  b [3 k B E]\n    2 [4]\n";
        QTest::newRow("0x80 to 0x9F, NUL and controls; CRLF ends the line, later lines dropped")
            << "\0\t\x80\x81\x82\x83\x84\x85\x86\x87\x88\x89\x8a\x8b\x8c\x8d\x8e\x8f\x90\x91\x92"
               "\x93"
               "\x94\x95\x96\x97\x98\x99\x9a\x9b\x9c\x9d\x9e\x9f\xe9\r\nnext\r\n"_ba
            << "<00><09>€<81>‚ƒ„…†‡ˆ‰Š‹Œ<8d>Ž<8f><90>‘’“”•–—˜™š›œ<9d>žŸé [7 k E S]\n";
        QTest::newRow("empty value") << "H\\a\\"_ba
                                     << "H [7 k E S]\n  a [3 k B E]\n     [4]\n";
        // Any byte but the separator and CR, keys unique; the last line as long as it may be.
        QRandomGenerator random(20240611);
        const auto token = [&random](int shortest) {
            QByteArray bytes(random.bounded(shortest, 9), 'x');
            for (char &b : bytes)
                b = static_cast<char>(random.bounded(256));
            return bytes.replace('\\', 'x').replace('\r', 'y');
        };
        for (int run = 0; run <= 50; ++run) {
            const int pairs = run < 50 ? random.bounded(12) : (kMaxNodes - 1) / 2;
            QByteArray line = token(pairs == 0 ? 1 : 0);
            for (QSet<QByteArray> keys{line}; keys.size() <= pairs;) {
                const QByteArray key = token(0);
                if (!keys.contains(key))
                    line += '\\' + key + '\\' + token(0);
                keys.insert(key);
            }
            QTest::addRow("seed 20240611, random line %d", run) << line << QString();
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
    // The tree starts as "Old"; after the failure it holds nodes nodes and ends with tail.
    void loadFailures_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<WeaponFileStatus>("status");
        QTest::addColumn<int>("nodes");
        QTest::addColumn<QString>("tail");
        QTest::newRow("missing file") << QByteArray() << S::CannotRead << 0 << "";
        QTest::newRow("empty first line") << "\r\nH\\a\\1"_ba << S::Empty << 0 << "";
        QTest::newRow("repeated key")
            << "H\\a\\1\\a\\2"_ba << S::RepeatedKey << 3 << "H [7 k]\n  a [3 k B E]\n    1 [4]\n";
        QTest::newRow("empty key equal to the empty header")
            << "\\\\1"_ba << S::RepeatedKey << 1 << " [7 k]\n";
        QTest::newRow("line ending in a backslash: a key without value")
            << "H\\a\\1\\"_ba << S::KeyWithoutValue << 4 << "    1 [4]\n   [3 k B]\n";
        QByteArray line = "H";
        for (int i = 0; i <= kMaxNodes / 2; ++i)
            line += "\\k" + QByteArray::number(i) + "\\v";
        QTest::newRow("more than 32767 tokens")
            << line << S::TooManyNodes << int(kMaxNodes) << "  k16382 [3 k B E]\n    v [4]\n";
    }
    void loadFailures()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(WeaponFileStatus, status);
        QFETCH(int, nodes);
        QFETCH(QString, tail);
        QTemporaryDir dir;
        const QString path = dir.filePath("weapon.txt");
        WeaponTree tree;
        tree.addRoot("Old");
        QVERIFY(bytes.isNull() || !file(path, bytes).isNull());
        const WeaponFileResult result = load_weapon(tree, path);
        QCOMPARE(result.status, status);
        QVERIFY(!result.reason.isEmpty());
        QCOMPARE(tree.count(), nodes);
        QCOMPARE(dump(tree).right(tail.size()), tail);
        // Observers that wait for the batch to end must hear of it on every way out.
        QVERIFY(!tree.inBatch());
    }
    // The file holds two lines before each save; named is the node blamed, or 0.
    void saveFailures_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("line"); // header|key|value|...
        QTest::addColumn<WeaponFileStatus>("status");
        QTest::addColumn<int>("named");
        const QString w = "weapon.txt";
        QTest::newRow("CR in the header") << w << "H\rX|a|1" << S::UnwritableText << 1;
        QTest::newRow("U+0080, whose byte is the euro sign, in a key")
            << w << u"H|\u0080|1"_s << S::UnwritableText << 2;
        QTest::newRow("U+0100, the first past Latin-1, in the last node")
            << w << u"H|a|1|b|\u0100"_s << S::UnwritableText << 5;
        QTest::newRow("backslash in two values: the first is named")
            << w << "H|a|x\\y|b|x\\y" << S::UnwritableText << 3;
        QTest::newRow("disk full") << w << "H|a|" + QString(4096, u'x') << S::CannotWrite << 0;
        QTest::newRow("path through a regular file") << w + "/in.txt"
                                                     << "H" << S::CannotWrite << 0;
        QTest::newRow("folder at the path") << "folder"
                                            << "H" << S::CannotWrite << 0;
        QTest::newRow("empty tree") << w << "" << S::Empty << 0;
    }
    void saveFailures()
    {
        QFETCH(QString, target);
        QFETCH(QString, line);
        QFETCH(WeaponFileStatus, status);
        QFETCH(int, named);
        QTemporaryDir dir;
        const QString path = dir.filePath("weapon.txt");
        const QByteArray saved = "H\\a\\1\\b\\2\r\nsecond line\r\n";
        QVERIFY(!file(path, saved).isNull() && QDir(dir.path()).mkdir("folder"));
        WeaponTree tree;
        const QStringList texts = line.isEmpty() ? QStringList() : line.split(u'|');
        for (int i = 0; i < texts.size(); i += 2)
            QVERIFY(i ? tree.appendPair(Node(&tree, 1), texts[i - 1], texts[i])
                      : tree.addRoot(texts[0]));
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
        // No temporary file left beside it; the old bytes and the folder stay.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"weapon.txt"});
        QCOMPARE(file(path), saved);
        QVERIFY(QFileInfo(dir.filePath("folder")).isDir());
    }
};

QTEST_GUILESS_MAIN(TestWeaponFile)
#include "test_weapon_file.moc"
