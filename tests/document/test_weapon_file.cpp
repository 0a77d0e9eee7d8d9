#include "document/weapon_file.h"
#include "tests/document/test_support.h"

#include <QRandomGenerator>
#include <QSet>

#include <numeric>

#include <csignal>
#include <sys/resource.h>

// Byte strings with NULs and escapes, kept whole.
#define BYTES(literal) QByteArray(literal, sizeof(literal) - 1)

static QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

static bool put(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

class TestWeaponFile : public QObject
{
    Q_OBJECT

private slots:
    void loadsAndSavesBack_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("tree");

        QTest::newRow("LF belongs to the line, a lone CR ends it")
            << BYTES("H\\a\\1\n\\b\\2\rX\\y\r\n")
            << "H [7 k E S]\n  a [3 k B E]\n    1<0a> [4]\n  b [3 k B E]\n    2 [4]";
        // Windows-1252 from 0x80 to 0x9F, its five undefined bytes standing for the C1 controls.
        QByteArray high(32, '\0');
        std::iota(high.begin(), high.end(), '\x80');
        QTest::newRow("CRLF ends the line; windows-1252, NUL and controls in a header")
            << BYTES("\0\t") + high + BYTES("\xe9\r\nnext")
            << "<00><09>€<81>‚ƒ„…†‡ˆ‰Š‹Œ<8d>Ž<8f><90>‘’“”•–—˜™š›œ<9d>žŸé [7 k E S]";
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
        // No weapon, or no path: nothing to write, and the file stays as saved.
        QVERIFY(save_weapon(weaponTree, path).ok() && save_weapon(weaponTree, QString()).ok());
        QCOMPARE(save_weapon(WeaponTree(), path).status, WeaponFileStatus::Empty);
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
        QTest::newRow("empty first line") << BYTES("\r\nH\\a\\1") << S::Empty << "";
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
        // Observers that wait for the batch to end must hear of it on every way out.
        QSignalSpy finished(&weaponTree, &WeaponTree::batchFinished);
        const WeaponFileResult result = load_weapon(weaponTree, path);
        QCOMPARE(result.status, status);
        QVERIFY(!result.reason.isEmpty());
        QCOMPARE(dump(weaponTree), tree);
        QCOMPARE(finished.count(), 1);
    }

    // Any byte but the separator and CR, the last two lines as long as the format allows.
    void randomLinesRoundTrip()
    {
        QRandomGenerator random(20240611);
        const auto token = [&random](int shortest) {
            QByteArray bytes;
            for (int length = random.bounded(shortest, 9); bytes.size() < length;)
                bytes += static_cast<char>(random.bounded(256));
            return bytes.replace('\\', 'x').replace('\r', 'y');
        };
        QTemporaryDir dir;
        const QString path = dir.filePath("weapon.txt");
        for (int run = 0; run < 202; ++run) {
            const int pairs = run < 200 ? random.bounded(12) : 16383;
            QByteArray line = token(pairs == 0 ? 1 : 0);
            for (QSet<QByteArray> keys{line}; keys.size() <= pairs;) {
                const QByteArray key = token(0);
                if (!keys.contains(key))
                    line += '\\' + key + '\\' + token(0);
                keys.insert(key);
            }
            const QByteArray where = "line " + QByteArray::number(run);
            QVERIFY2(put(path, line), where);
            WeaponTree tree;
            QVERIFY2(load_weapon(tree, path).ok() && tree.nodes().Count() == 1 + 2 * pairs, where);
            QVERIFY2(save_weapon(tree, path).ok() && bytesOf(path) == line + "\r\n", where);
        }
    }

    void saveFailures_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("nodes");
        // The node the refusal names, or 0 for a full disk.
        QTest::addColumn<int>("named");

        QTest::newRow("CR in the header") << "H\rX" << QList{1} << 1;
        QTest::newRow("U+0080, whose byte is the euro sign, in a key")
            << QString(QChar(0x80)) << QList{2} << 2;
        QTest::newRow("U+0100, the first past Latin-1, in the last node")
            << QString(QChar(0x100)) << QList{5} << 5;
        QTest::newRow("backslash in two values: the first is named") << "x\\y" << QList{5, 3} << 3;
        QTest::newRow("disk full") << QString(4096, u'x') << QList{3} << 0;
    }

    void saveFailures()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, nodes);
        QFETCH(int, named);

        QTemporaryDir dir;
        const QString path = dir.filePath("weapon.txt");
        const QByteArray saved = "H\\a\\1\\b\\2\r\nsecond line\r\n";
        QVERIFY(put(path, saved));
        WeaponTree tree;
        QVERIFY(build_weapon_tree(tree, "H\\a\\1\\b\\2").ok());
        for (const int node : nodes)
            tree.setText(static_cast<NodeIndex>(node), text);

        // A lower limit on the files this process writes stands in for a full disk, even for root.
        rlimit was{};
        getrlimit(RLIMIT_FSIZE, &was);
        const rlimit limit{named ? was.rlim_cur : 1024, was.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limit);
        const WeaponFileResult result = save_weapon(tree, path);
        setrlimit(RLIMIT_FSIZE, &was);

        QCOMPARE(result.status,
                 named ? WeaponFileStatus::UnwritableText : WeaponFileStatus::CannotWrite);
        QCOMPARE(result.node, named);
        QVERIFY(!result.reason.isEmpty());
        // No file left behind, and the old bytes kept.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"weapon.txt"});
        QCOMPARE(bytesOf(path), saved);
    }
    void saveToUnusablePath_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::newRow("path through a regular file") << "weapon.txt/inner.txt";
        QTest::newRow("folder where the file should be") << "folder";
    }

    void saveToUnusablePath()
    {
        QFETCH(QString, relative);
        QTemporaryDir dir;
        QVERIFY(put(dir.filePath("weapon.txt"), "old\r\n"));
        QVERIFY(QDir(dir.path()).mkdir("folder"));
        WeaponTree tree;
        QVERIFY(build_weapon_tree(tree, "H\\a\\1").ok());
        const WeaponFileResult result = save_weapon(tree, dir.filePath(relative));
        QCOMPARE(result.status, WeaponFileStatus::CannotWrite);
        QVERIFY(!result.reason.isEmpty());
        QCOMPARE(bytesOf(dir.filePath("weapon.txt")), QByteArray("old\r\n"));
        QVERIFY(QFileInfo(dir.filePath("folder")).isDir());
    }

    void saveKeepsModeAndLink()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath("weapon.txt");
        const QString link = dir.filePath("link.txt");
        QVERIFY(put(target, "old\r\n"));
        const auto mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther;
        QVERIFY(QFile::setPermissions(target, mode));
        QVERIFY(QFile::link(target, link));
        WeaponTree tree;
        QVERIFY(build_weapon_tree(tree, "H\\a\\1").ok());
        QVERIFY(save_weapon(tree, link).ok());
        // The link still names the file, which holds the new line and keeps its mode.
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(bytesOf(target), QByteArray("H\\a\\1\r\n"));
        const auto all = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                         QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                         QFile::WriteOther | QFile::ExeOther;
        QCOMPARE(QFile::permissions(target) & all, mode);
    }
};

QTEST_GUILESS_MAIN(TestWeaponFile)
#include "test_weapon_file.moc"
