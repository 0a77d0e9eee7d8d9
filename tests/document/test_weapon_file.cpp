#include "document/careful_save.h"
#include "document/disk_file.h"
#include "document/weapon_file.h"
#include "tests/document/test_support.h"

#include <QRandomGenerator>

#include <functional>
#include <future>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <thread>

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

// The type bits of what stands at path, or 0 when nothing does.
static unsigned kind(const QString &path)
{
    struct stat info {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & S_IFMT : 0;
}

// Something at path that is not a regular file: false when this system or user cannot make it.
static bool makeSpecial(const QString &what, const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    if (what == "folder")
        return QDir().mkdir(path);
    if (what == "named pipe")
        return ::mkfifo(name.constData(), 0644) == 0;
    if (what == "character device")
        return ::mknod(name.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    if (what == "socket") {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (name.size() >= qsizetype(sizeof address.sun_path))
            return false;
        std::copy(name.begin(), name.end(), address.sun_path);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        ::close(fd);
        return bound;
    }
    return false;
}

// The work runs on a thread of its own, so that work that blocks fails the test instead of
// hanging it; that thread is then left behind, blocked, until the program ends.
template <typename Result>
static std::optional<Result> withinASecond(const std::function<Result()> &work)
{
    auto done = std::make_shared<std::promise<Result>>();
    std::future<Result> result = done->get_future();
    std::thread([done, work] { done->set_value(work()); }).detach();
    if (result.wait_for(std::chrono::seconds(1)) != std::future_status::ready)
        return std::nullopt;
    return result.get();
}

static std::optional<WeaponFileResult> loadWithin(const QString &path, WeaponOrigin *origin)
{
    using Loaded = std::pair<WeaponFileResult, WeaponOrigin>;
    const auto loaded = withinASecond<Loaded>([path] {
        WeaponTree tree;
        WeaponOrigin read;
        const WeaponFileResult result = load_weapon(tree, path, &read);
        return Loaded{result, read};
    });
    if (!loaded)
        return std::nullopt;
    if (origin)
        *origin = loaded->second;
    return loaded->first;
}

class TestWeaponFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ignore_file_size_signal(); }

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
        // A table splits first lines without building trees; it must refuse them alike.
        if (!bytes.isNull()) {
            QByteArray line, rest;
            split_weapon_bytes(bytes, line, rest);
            std::vector<quint32> starts;
            const WeaponFileResult split = split_weapon_line(line, starts);
            QCOMPARE(split.status, status);
            QCOMPARE(split.reason, result.reason);
        }
    }
    // Nothing is read from what cannot be a weapon file, and nothing waits on it.
    void openRefusesWhatCannotBeAWeaponFile_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<WeaponFileStatus>("status");
        QTest::addColumn<QString>("says");
        for (const char *what : {"named pipe", "folder", "socket", "character device"})
            QTest::newRow(what) << QString(what) << S::NotAFile << QString(what);
        QTest::newRow("link to a named pipe") << "link" << S::NotAFile << "named pipe";
        QTest::newRow("one byte past 16 MiB") << "sparse" << S::TooLarge << "16 MiB";
        QTest::newRow("exactly 16 MiB, which still loads") << "full" << S::Ok << "";
    }
    void openRefusesWhatCannotBeAWeaponFile()
    {
        QFETCH(QString, what);
        QFETCH(WeaponFileStatus, status);
        QFETCH(QString, says);
        QTemporaryDir dir;
        const QString path = dir.filePath("weapon.txt");
        QString opened = path;
        if (what == "link") {
            opened = dir.filePath("link");
            QVERIFY(makeSpecial("named pipe", path) && QFile::link(path, opened));
        } else if (what == "sparse" || what == "full") {
            QFile big(path);
            const qint64 size = kMaxWeaponFileBytes + (what == "sparse" ? 1 : 0);
            QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(size) && big.write("H") == 1);
        } else if (!makeSpecial(what, path)) {
            QSKIP("This system does not let the tests make one.");
        }
        WeaponOrigin origin;
        const auto result = loadWithin(opened, &origin);
        QVERIFY2(result, "the load did not return within a second");
        QCOMPARE(result->status, status);
        QVERIFY(result->reason.contains(says));
        QCOMPARE(origin.disk.size, result->ok() ? kMaxWeaponFileBytes : -1);
        // A folder's listing stands for the look before the open; what is found once it is
        // open is refused all the same. (A socket cannot be opened at all.)
        if (what != "socket") {
            const auto listed = withinASecond<WeaponFileResult>([opened] {
                QByteArray bytes;
                DiskSnapshot disk;
                return read_listed_file(opened, bytes, disk);
            });
            QVERIFY2(listed, "the read did not return within a second");
            QCOMPARE(listed->status, status);
        }
    }
    // The file is edited and saved through its origin: every byte after the first line's end is
    // written back as it was read, behind the edited line and CR LF.
    void keepsWhatFollowsTheFirstLine_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("edit"); // the last node's new text; none when null
        QTest::addColumn<QByteArray>("saved");
        QTest::newRow("three lines") << "H\\a\\1\r\nline 2\\x\r\nline 3\r\n"_ba
                                     << "2"
                                     << "H\\a\\2\r\nline 2\\x\r\nline 3\r\n"_ba;
        QTest::newRow("lone CR ends the line; a CR LF follows it")
            << "H\\a\\1\r\r\nnext\rlast"_ba
            << "22"
            << "H\\a\\22\r\n\r\nnext\rlast"_ba;
        QTest::newRow("lone LF: one line") << "H\\a\\1\nmore"_ba
                                           << "2"
                                           << "H\\a\\2\r\n"_ba;
        QTest::newRow("no line end") << "H"_ba
                                     << "G"
                                     << "G\r\n"_ba;
        QTest::newRow("CR LF and nothing after") << "H\r\n"_ba
                                                 << "G"
                                                 << "G\r\n"_ba;
        QByteArray every(256, 0);
        for (int b = 0; b < 256; ++b)
            every[b] = char(b);
        QTest::newRow("every byte value, unedited")
            << every << QString() << every.left(13) + "\r\n" + every.mid(14);
    }
    void keepsWhatFollowsTheFirstLine()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, edit);
        QFETCH(QByteArray, saved);
        QTemporaryDir dir;
        const QString path = dir.filePath("weapon.txt");
        WeaponTree tree;
        WeaponOrigin origin;
        QVERIFY(!file(path, bytes).isNull() && load_weapon(tree, path, &origin).ok());
        QCOMPARE(origin.path, path);
        if (!edit.isNull())
            tree.setText(static_cast<NodeIndex>(tree.count()), edit);
        QVERIFY(save_weapon(tree, origin).ok());
        QCOMPARE(file(path), saved);
        // The in-memory halves give the same file.
        QByteArray line, rest, whole;
        split_weapon_bytes(bytes, line, rest);
        QVERIFY(weapon_file_bytes(tree, rest, whole).ok());
        QCOMPARE(whole, saved);
    }
    // The file holds two lines before each save; named is the node blamed, or 0.
    // The file holds two lines before each save, and has a second name in the folder when
    // linked; named is the node blamed, or 0.
    void saveFailures_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("line"); // header|key|value|..., "-" standing for an empty text
        QTest::addColumn<bool>("linked");
        QTest::addColumn<WeaponFileStatus>("status");
        QTest::addColumn<int>("named");
        QTest::addColumn<QString>("says");
        const QString w = "weapon.txt";
        QTest::newRow("CR in the header")
            << w << "H\rX|a|1" << false << S::UnwritableText << 1 << "carriage return";
        QTest::newRow("U+0080, whose byte is the euro sign, in a key")
            << w << u"H|\u0080|1"_s << false << S::UnwritableText << 2 << "U+0080";
        QTest::newRow("U+0100, the first past Latin-1, in the last node")
            << w << u"H|a|1|b|\u0100"_s << false << S::UnwritableText << 5 << "U+0100";
        QTest::newRow("an emoji, named by its code point and not by its first half")
            << w << u"H|a|x\U0001F600"_s << false << S::UnwritableText << 3 << "U+1F600";
        QTest::newRow("backslash in two values: the first is named")
            << w << "H|a|x\\y|b|x\\y" << false << S::UnwritableText << 3 << "backslash";
        QTest::newRow("disk full")
            << w << "H|a|" + QString(4096, u'x') << false << S::CannotWrite << 0 << "";
        QTest::newRow("disk full, written in place for a second hard link")
            << w << "H|a|" + QString(4096, u'x') << true << S::CannotWrite << 0 << "";
        QTest::newRow("path through a regular file") << w + "/in.txt"
                                                     << "H" << false << S::CannotWrite << 0 << "";
        QTest::newRow("folder at the path") << "folder"
                                            << "H" << false << S::NotAFile << 0 << "folder";
        QTest::newRow("named pipe at the path") << "pipe"
                                                << "H" << false << S::NotAFile << 0 << "named pipe";
        QTest::newRow("device at the path")
            << "device"
            << "H" << false << S::NotAFile << 0 << "character device";
        QTest::newRow("one byte past what Open reads")
            << w << "H|a|" + QString(kMaxWeaponFileBytes - 5, u'x') << false << S::TooLarge << 0
            << "16 MiB";
        QTest::newRow("an archive's entry, which only the archive writer may save")
            << "archive entry"
            << "H|a|2" << false << S::CannotWrite << 0 << "archive";
        QTest::newRow("empty tree") << w << "" << false << S::Empty << 0 << "";
        QTest::newRow("header-only line emptied, which Open would refuse")
            << w << "-" << false << S::Empty << 1 << "empty";
    }
    void saveFailures()
    {
        QFETCH(QString, target);
        QFETCH(QString, line);
        QFETCH(bool, linked);
        QFETCH(WeaponFileStatus, status);
        QFETCH(int, named);
        QFETCH(QString, says);
        QTemporaryDir dir;
        const QString path = dir.filePath("weapon.txt");
        const QString link = dir.filePath("folder/link.txt");
        const QByteArray saved = "H\\a\\1\\b\\2\r\nsecond line\r\n";
        QVERIFY(!file(path, saved).isNull() && QDir(dir.path()).mkdir("folder"));
        QVERIFY(makeSpecial("named pipe", dir.filePath("pipe")));
        if (target == "device" && !makeSpecial("character device", dir.filePath(target)))
            QSKIP("This system does not let the tests make a device.");
        QVERIFY(!linked || ::link(QFile::encodeName(path), QFile::encodeName(link)) == 0);
        WeaponTree tree;
        const QStringList texts = line.isEmpty() ? QStringList() : line.split(u'|');
        for (int i = 0; i < texts.size(); i += 2)
            QVERIFY(i ? tree.appendPair(Node(&tree, 1), texts[i - 1], texts[i])
                      : tree.addRoot(texts[0] == "-" ? QString() : texts[0]));
        // A low limit on the files this process writes stands in for a full disk, even for root.
        rlimit was{};
        getrlimit(RLIMIT_FSIZE, &was);
        const rlimit limit{1024, was.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
        // The archive is the file at the path, which a plain save must never write over.
        WeaponOrigin origin{dir.filePath(target), QString(), {}, {}};
        if (target == "archive entry")
            origin = {path, QStringLiteral("weapons/weapon.txt"), {}, {}};
        const WeaponFileResult result = save_weapon(tree, origin);
        setrlimit(RLIMIT_FSIZE, &was);
        QCOMPARE(result.status, status);
        QCOMPARE(result.node, named);
        QVERIFY(!result.reason.isEmpty() && result.reason.contains(says));
        // No temporary file or backup left beside it; the old bytes, under every name, and what
        // else stood in the folder stay as they were.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"weapon.txt"});
        QCOMPARE(file(path), saved);
        QVERIFY(!linked || file(link) == saved);
        QCOMPARE(kind(dir.filePath("folder")), unsigned(S_IFDIR));
        QCOMPARE(kind(dir.filePath("pipe")), unsigned(S_IFIFO));
        if (target == "device")
            QCOMPARE(kind(dir.filePath(target)), unsigned(S_IFCHR));
    }
};

QTEST_GUILESS_MAIN(TestWeaponFile)
#include "test_weapon_file.moc"
