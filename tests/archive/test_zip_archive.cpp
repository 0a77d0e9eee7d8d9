#include "archive/zip_archive.h"
#include "zip_maker.h"

#include <QDateTime>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace
{

constexpr qint64 kLimit = 16 * 1024 * 1024;

// Bytes that deflate cannot shrink, so that packed and unpacked sizes stay apart from the text.
QByteArray noise(qsizetype size)
{
    QByteArray bytes(size, '\0');
    quint32 state = 2463534242u;
    for (char &byte : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = char(state);
    }
    return bytes;
}

const QList<MadeEntry> kArchive = {
    {"weapons/rifle.txt", "Rifle\\damage\\12\\range\\300\r\nkept line\r\n", ZIP_CM_DEFLATE},
    {"weapons/pistol.txt", "Pistol\\damage\\4\r\n", ZIP_CM_STORE, "sidearm"},
    {"textures/wall.bin", noise(64 * 1024), ZIP_CM_DEFLATE, "a wall"},
    {"../weapons/escape.txt", "Escape\\damage\\1\r\n", ZIP_CM_DEFLATE},
    {"readme.txt", "Read me.\r\n", ZIP_CM_STORE},
};

void put32(QByteArray &bytes, qsizetype at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char(value >> (8 * i));
}

void put16(QByteArray &bytes, qsizetype at, quint16 value)
{
    bytes[at] = char(value);
    bytes[at + 1] = char(value >> 8);
}

// The first entry's local header sits at 0; its central header is the first one.
qsizetype centralHeader(const QByteArray &bytes) { return bytes.indexOf("PK\x01\x02"); }

time_t entryTime(const QString &path, const QString &name)
{
    int code = 0;
    zip_t *zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
    zip_stat_t stat;
    const bool found = zip && zip_stat(zip, name.toUtf8().constData(), 0, &stat) == 0;
    if (zip)
        zip_discard(zip);
    return found ? stat.mtime : 0;
}

enum class Spoil { ReadOnlyFolder, FullDisk, NoSuchName, UnpackableMethod, Encrypted };

} // namespace

class TestZipArchive : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QByteArray built(const QList<MadeEntry> &entries)
    {
        const QString path = m_dir.filePath(QStringLiteral("built.zip"));
        return make_zip(path, entries) ? file_bytes(path) : QByteArray();
    }

private slots:
    void roundTripKeepsOtherEntries_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("padding");
        QTest::newRow("deflated weapon")
            << "weapons/rifle.txt" << QByteArray("Rifle\\damage\\13") << 0;
        QTest::newRow("stored weapon with a comment")
            << "weapons/pistol.txt" << QByteArray("Pistol\\damage\\5\\range\\20\r\n") << 0;
        QTest::newRow("deflated entry grows") << "weapons/rifle.txt" << noise(300 * 1024) << 0;
        QTest::newRow("name that climbs out")
            << "../weapons/escape.txt" << QByteArray("E\\d\\2") << 0;
        QTest::newRow("last entry emptied") << "readme.txt" << QByteArray() << 0;
        // Megabytes of entries on both sides, so that what is kept runs across many blocks.
        QTest::newRow("weapon amid megabytes")
            << "weapons/pistol.txt" << QByteArray("Pistol\\damage\\6") << 12;
    }

    void roundTripKeepsOtherEntries()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(int, padding);
        QList<MadeEntry> entries = kArchive;
        for (int i = 0; i < padding; ++i) {
            const QByteArray number = QByteArray::number(i);
            entries.insert(i % 2 == 0 ? 0 : entries.size(),
                           {"pad/" + number + ".bin", noise(300 * 1024 + i), ZIP_CM_STORE});
        }
        const QString folder = m_dir.filePath(QStringLiteral("inner"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/game.pk3");
        QVERIFY(make_zip(path, entries, "Zembrak data"));
        QStringList before = packed_entries(path);
        const time_t start = std::time(nullptr);

        const ArchiveResult written = write_entry(path, name, bytes);
        QVERIFY2(written.ok(), qPrintable(written.reason));

        QStringList after = packed_entries(path);
        QCOMPARE(after.size(), before.size());
        const auto edited = std::find_if(entries.cbegin(), entries.cend(),
                                         [&](const MadeEntry &e) { return e.name == name; }) -
                            entries.cbegin();
        QVERIFY(after[edited].startsWith(before[edited].section(QStringLiteral(" crc "), 0, 0)));
        before.removeAt(edited);
        after.removeAt(edited);
        QCOMPARE(after, before);

        QByteArray read;
        QVERIFY(read_entry(path, name, kLimit, read).ok());
        QCOMPARE(read, bytes);
        const time_t time = entryTime(path, name);
        QVERIFY2(time >= start - 2 && time <= std::time(nullptr) + 2,
                 qPrintable(QString::number(time)));
        QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("weapons"))));
    }

    void unsafeNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("unsafe");
        QTest::newRow("plain path") << "weapons/rifle.txt" << false;
        QTest::newRow("dots inside a name") << "weapons/..rifle..txt" << false;
        QTest::newRow("parent step first") << "../rifle.txt" << true;
        QTest::newRow("parent step inside") << "weapons/../../rifle.txt" << true;
        QTest::newRow("parent step with backslashes") << "weapons\\..\\rifle.txt" << true;
        QTest::newRow("parent step last") << "weapons/.." << true;
        QTest::newRow("absolute path") << "/etc/rifle.txt" << true;
        QTest::newRow("drive letter") << "C:rifle.txt" << true;
        QTest::newRow("network path") << "\\\\server\\rifle.txt" << true;
    }

    void unsafeNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, unsafe);
        QCOMPARE(is_unsafe_entry_name(name), unsafe);
        const QString path = m_dir.filePath(QStringLiteral("names.zip"));
        QVERIFY(make_zip(path, {{name.toUtf8(), "H\\k\\v"}}));
        QList<ArchiveEntry> entries;
        QVERIFY(list_entries(path, entries).ok());
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].name, name);
        QCOMPARE(entries[0].unsafeName, unsafe);
    }

    void badArchives_data()
    {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<ArchiveStatus>("listed");
        QTest::addColumn<ArchiveStatus>("read");
        const auto ok = ArchiveStatus::Ok;
        const QByteArray plain =
            built({{"w.txt", "Rifle\\damage\\12\r\n", ZIP_CM_STORE}, {"other.txt", noise(4000)}});

        QTest::newRow("weapon file, not a zip")
            << QByteArray("Rifle\\damage\\12\r\n") << ArchiveStatus::NotZip << ok;
        QTest::newRow("empty file") << QByteArray() << ArchiveStatus::NotZip << ok;
        QTest::newRow("cut short in the packed data")
            << plain.left(plain.size() / 2) << ArchiveStatus::Damaged << ok;
        QTest::newRow("cut short by one byte") << plain.chopped(1) << ArchiveStatus::Damaged << ok;

        QByteArray flipped = plain;
        flipped[30 + 5 + 3] = 'X';
        QTest::newRow("checksum does not match") << flipped << ok << ArchiveStatus::Damaged;

        QTest::newRow("encrypted")
            << built({{"w.txt", "Rifle\\damage\\12\r\n", ZIP_CM_DEFLATE, {}, true}}) << ok
            << ArchiveStatus::Encrypted;

        // Damaged past its first bytes: unpacking it at all would report the damage instead.
        QByteArray bomb = built({{"w.txt", QByteArray(kLimit + 1, 'a')}});
        bomb.replace(30 + 5 + 40, 200, QByteArray(200, '\xff'));
        QTest::newRow("declared size over the limit") << bomb << ok << ArchiveStatus::TooLarge;

        QByteArray lying = built({{"w.txt", QByteArray(1 << 20, 'a')}});
        put32(lying, 22, 100);
        put32(lying, centralHeader(lying) + 24, 100);
        QTest::newRow("unpacks to more than declared") << lying << ok << ArchiveStatus::Damaged;

        QByteArray twins = built({{"w.txt", "A\\k\\v"}, {"w.tx_", "B\\k\\v"}});
        twins.replace("w.tx_", "w.txt");
        QTest::newRow("two entries of one name") << twins << ArchiveStatus::DuplicateName << ok;

        QByteArray unknownMethod = plain;
        put16(unknownMethod, 8, 98);
        put16(unknownMethod, centralHeader(unknownMethod) + 10, 98);
        QTest::newRow("unknown packing method")
            << unknownMethod << ok << ArchiveStatus::UnsupportedMethod;
    }

    void badArchives()
    {
        QFETCH(QByteArray, archive);
        QFETCH(ArchiveStatus, listed);
        QFETCH(ArchiveStatus, read);
        const QString path = m_dir.filePath(QStringLiteral("bad.pk3"));
        QVERIFY(write_file(path, archive));

        ArchiveReader fromMemory;
        const ArchiveResult inMemory = fromMemory.openBytes(archive);
        QList<ArchiveEntry> entries;
        const ArchiveResult result = list_entries(path, entries);
        QCOMPARE(result.status, listed);
        QCOMPARE(inMemory.status, listed);
        QCOMPARE(result.reason.isEmpty(), result.ok());
        if (!result)
            return;

        QByteArray bytes;
        const ArchiveResult opened = read_entry(path, QStringLiteral("w.txt"), kLimit, bytes);
        QCOMPARE(opened.status, read);
        QVERIFY(opened.reason.contains(QStringLiteral("\"w.txt\"")));
        QVERIFY(bytes.isEmpty());
        QCOMPARE(fromMemory.read(*fromMemory.find(QStringLiteral("w.txt")), kLimit, bytes).status,
                 read);
    }

    void failedWriteLeavesArchive_data()
    {
        QTest::addColumn<Spoil>("spoil");
        QTest::addColumn<ArchiveStatus>("status");
        QTest::newRow("folder refuses new files")
            << Spoil::ReadOnlyFolder << ArchiveStatus::CannotWrite;
        QTest::newRow("disk takes no more bytes") << Spoil::FullDisk << ArchiveStatus::CannotWrite;
        QTest::newRow("no entry of that name") << Spoil::NoSuchName << ArchiveStatus::NoSuchEntry;
        QTest::newRow("method that cannot be packed")
            << Spoil::UnpackableMethod << ArchiveStatus::UnsupportedMethod;
        QTest::newRow("encrypted entry") << Spoil::Encrypted << ArchiveStatus::Encrypted;
    }

    void failedWriteLeavesArchive()
    {
        QFETCH(Spoil, spoil);
        QFETCH(ArchiveStatus, status);
        if (spoil == Spoil::ReadOnlyFolder && geteuid() == 0)
            QSKIP("permissions do not hold back the superuser");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("game.pk3"));
        QByteArray archive =
            built({{"w.txt", "Rifle\\damage\\12\r\n", ZIP_CM_STORE, {}, spoil == Spoil::Encrypted},
                   {"wall.bin", noise(256 * 1024)}});
        if (spoil == Spoil::UnpackableMethod) {
            put16(archive, 8, 98);
            put16(archive, centralHeader(archive) + 10, 98);
        }
        QVERIFY(write_file(path, archive));

        const QString name =
            spoil == Spoil::NoSuchName ? QStringLiteral("x.txt") : QStringLiteral("w.txt");
        QFile::Permissions permissions = QFile::permissions(dir.path());
        if (spoil == Spoil::ReadOnlyFolder)
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit before = limit;
        if (spoil == Spoil::FullDisk) {
            std::signal(SIGXFSZ, SIG_IGN);
            limit.rlim_cur = 64 * 1024;
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        const ArchiveResult result = write_entry(path, name, "Rifle\\damage\\99");
        setrlimit(RLIMIT_FSIZE, &before);
        QFile::setPermissions(dir.path(), permissions);

        QCOMPARE(result.status, status);
        QVERIFY(!result.reason.isEmpty());
        QCOMPARE(file_bytes(path), archive);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"game.pk3"});
    }
};

QTEST_GUILESS_MAIN(TestZipArchive)
#include "test_zip_archive.moc"
