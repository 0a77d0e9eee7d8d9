#include "archive/zip_archive.h"
#include "archive/zip_bytes.h"
#include "archive/zip_layout.h"
#include "document/careful_save.h"
#include "weapons/archive_weapon.h"
#include "zip_maker.h"

#include <QDateTime>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
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

// Whether what a save learnt of the archive at path is what reading it afresh finds.
bool knowsArchive(const ArchiveMemo &memo, const QString &path)
{
    ArchiveResult opened;
    const std::unique_ptr<ZipBytes> bytes = open_zip_file(path, opened);
    ZipLayout fresh;
    return bytes && read_zip_layout(*bytes, fresh).ok() && memo.layout() && *memo.layout() == fresh;
}

const QList<MadeEntry> kArchive = {
    {"weapons/rifle.txt", "Rifle\\damage\\12\\range\\300\r\nkept line\r\n", ZIP_CM_DEFLATE},
    {"weapons/pistol.txt", "Pistol\\damage\\4\r\n", ZIP_CM_STORE, "sidearm"},
    {"textures/wall.bin", noise(64 * 1024), ZIP_CM_DEFLATE, "a wall"},
    {"../weapons/escape.txt", "Escape\\damage\\1\r\n", ZIP_CM_DEFLATE},
    {"readme.txt", "Read me.\r\n", ZIP_CM_STORE},
};

// Info-ZIP's fields as its zip writes them: the local header's extended time carries more
// times than the central one's, and the Unix owner field differs between the two.
const QByteArray kLocalExtra = QByteArray::fromHex("5455090003a0a0a060b0b0b0607578"
                                                   "0b000104e803000004e8030000");
const QByteArray kCentralExtra = QByteArray::fromHex("5455050003a0a0a0607578000000");

const QList<RawEntry> kRawArchive = {
    {"first.txt", "First\\k\\v\r\n", 0x0008},
    {"weapons/rifle.txt", "Rifle\\damage\\12\r\n", 0x0800, kLocalExtra, kCentralExtra},
    {QByteArray("nul\0name.txt", 12), "N\\k\\v", 0x0008, kLocalExtra, kCentralExtra},
    {"last.txt", "Last\\k\\v", 0x0808},
};

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

enum class Keep { HardLink, ReadOnlyFolder, ReadOnlyMode, SetUserId, Xattr };

enum class Spoil {
    Fifo,
    FullDisk,
    NoSuchName,
    UnpackableMethod,
    Encrypted,
    DuplicateName,
    Cancelled,
    CancelledWithSecondName, // written in place, where a write cut short would tear it
};

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
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QList<MadeEntry> padded = kArchive;
        // Megabytes of entries on both sides, so that what is kept runs across many blocks.
        for (int i = 0; i < 12; ++i) {
            const QByteArray number = QByteArray::number(i);
            padded.insert(i % 2 == 0 ? 0 : padded.size(),
                          {"pad/" + number + ".bin", noise(300 * 1024 + i), ZIP_CM_STORE});
        }
        const QByteArray plain = built(kArchive);
        QTest::newRow("deflated weapon")
            << plain << "weapons/rifle.txt" << QByteArray("Rifle\\damage\\13");
        QTest::newRow("stored weapon with a comment")
            << plain << "weapons/pistol.txt" << QByteArray("Pistol\\damage\\5\\range\\20\r\n");
        QTest::newRow("deflated entry grows") << plain << "weapons/rifle.txt" << noise(300 * 1024);
        QTest::newRow("name that climbs out")
            << plain << "../weapons/escape.txt" << QByteArray("E\\d\\2");
        QTest::newRow("last entry emptied") << plain << "readme.txt" << QByteArray();
        QTest::newRow("weapon amid megabytes")
            << built(padded) << "weapons/pistol.txt" << QByteArray("Pistol\\damage\\6");
        const QByteArray raw = raw_zip(kRawArchive);
        QTest::newRow("data descriptors and Info-ZIP fields around it")
            << raw << "weapons/rifle.txt" << QByteArray("Rifle\\damage\\13\r\n");
        QTest::newRow("entry with a data descriptor of its own")
            << raw << "first.txt" << QByteArray("First\\k\\longer value\r\n");
        QTest::newRow("bytes before the first entry")
            << raw_zip(kRawArchive, "#!/bin/sh\nexit 0\n") << "last.txt" << QByteArray("L\\k\\w");
    }

    void roundTripKeepsOtherEntries()
    {
        QFETCH(QByteArray, archive);
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        const QString folder = m_dir.filePath(QStringLiteral("inner"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/game.pk3");
        QVERIFY(write_file(path, archive));
        QStringList before = packed_entries(path);
        QStringList rawBefore = raw_entries(archive);
        QList<ArchiveEntry> entries;
        QVERIFY(list_entries(path, entries).ok());
        const auto edited = std::find_if(entries.cbegin(), entries.cend(),
                                         [&](const ArchiveEntry &e) { return e.name == name; }) -
                            entries.cbegin();
        const time_t start = std::time(nullptr);

        // Each save leaves what it learnt of the archive to the next, as Save All does; what it
        // learnt must not outlive the bytes it learnt it from (another program puts the old
        // archive back).
        ArchiveMemo memo;
        for (int save = 0; save < 3; ++save) {
            if (save == 1)
                QVERIFY(write_file(path, archive));
            const ArchiveResult written =
                write_archive_entries(path, {{name, bytes}}, nullptr, {}, &memo);
            QVERIFY2(written.ok(), qPrintable(written.reason));
            QVERIFY(knowsArchive(memo, path));
        }

        QStringList after = packed_entries(path);
        QCOMPARE(after.size(), before.size());
        QVERIFY(after[edited].startsWith(before[edited].section(QStringLiteral(" crc "), 0, 0)));
        before.removeAt(edited);
        after.removeAt(edited);
        QCOMPARE(after, before);
        QStringList rawAfter = raw_entries(file_bytes(path));
        rawBefore.removeAt(edited);
        rawAfter.removeAt(edited);
        QCOMPARE(rawAfter, rawBefore);

        QByteArray read;
        QVERIFY(read_entry(path, name, kLimit, read).ok());
        QCOMPARE(read, bytes);
        const time_t time = entryTime(path, name);
        QVERIFY2(time >= start - 2 && time <= std::time(nullptr) + 2,
                 qPrintable(QString::number(time)));
        QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("weapons"))));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"game.pk3"});
    }

    void entryNames_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<bool>("utf8");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("unsafe");
        QTest::addColumn<bool>("readable");
        QTest::newRow("plain path")
            << QByteArray("weapons/rifle.txt") << false << "weapons/rifle.txt" << false << true;
        QTest::newRow("dots inside a name") << QByteArray("weapons/..rifle..txt") << false
                                            << "weapons/..rifle..txt" << false << true;
        QTest::newRow("parent step first")
            << QByteArray("../rifle.txt") << false << "../rifle.txt" << true << true;
        QTest::newRow("parent step inside") << QByteArray("weapons/../../rifle.txt") << true
                                            << "weapons/../../rifle.txt" << true << true;
        QTest::newRow("parent step with backslashes")
            << QByteArray("weapons\\..\\rifle.txt") << false << "weapons\\..\\rifle.txt" << true
            << true;
        QTest::newRow("parent step last")
            << QByteArray("weapons/..") << false << "weapons/.." << true << true;
        QTest::newRow("absolute path")
            << QByteArray("/etc/rifle.txt") << false << "/etc/rifle.txt" << true << true;
        QTest::newRow("drive letter")
            << QByteArray("C:rifle.txt") << false << "C:rifle.txt" << true << true;
        QTest::newRow("network path") << QByteArray("\\\\server\\rifle.txt") << false
                                      << "\\\\server\\rifle.txt" << true << true;
        QTest::newRow("UTF-8 under the flag") << QByteArray("\xc3\xbc"
                                                            "ber.txt")
                                              << true << "\u00fcber.txt" << false << true;
        QTest::newRow("code page 437 without the flag")
            << QByteArray("\x81"
                          "ber.txt")
            << false << "\u00fcber.txt" << false << true;
        QTest::newRow("broken UTF-8 under the flag") << QByteArray("\x81"
                                                                   "ber.txt")
                                                     << true
                                                     << "\ufffd"
                                                        "ber.txt"
                                                     << false << false;
    }

    // A name that cannot be read refuses only its own entry; the one beside it opens.
    void entryNames()
    {
        QFETCH(QByteArray, raw);
        QFETCH(bool, utf8);
        QFETCH(QString, name);
        QFETCH(bool, unsafe);
        QFETCH(bool, readable);
        const QString path = m_dir.filePath(QStringLiteral("names.zip"));
        QVERIFY(write_file(path, raw_zip({{raw, "H\\k\\v", quint16(utf8 ? 0x0800 : 0)},
                                          {"beside.txt", "B\\k\\v"}})));
        ArchiveReader reader;
        QVERIFY(reader.open(path).ok());
        QCOMPARE(reader.entries().size(), 2);
        const ArchiveEntry &entry = reader.entries()[0];
        QCOMPARE(entry.name, name);
        QCOMPARE(entry.unsafeName, unsafe);
        QCOMPARE(entry.nameReadable, readable);
        QByteArray bytes;
        const ArchiveResult read = reader.read(entry, kLimit, bytes);
        QCOMPARE(read.ok(), readable);
        QCOMPARE(bytes, readable ? QByteArray("H\\k\\v") : QByteArray());
        QVERIFY(reader.read(reader.entries()[1], kLimit, bytes).ok());
        QCOMPARE(bytes, "B\\k\\v");
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

        QTest::newRow("exactly the size limit")
            << built({{"w.txt", QByteArray(kLimit, 'a')}}) << ok << ok;

        // Ten thousand names for one local header: reading each would repeat the same work.
        QList<RawEntry> shared;
        for (int i = 0; i < 10000; ++i)
            shared.append({"w" + QByteArray::number(i) + ".txt", "H\\k\\v", 0, {}, {}, 0});
        shared[0].name = "w.txt";
        QTest::newRow("entries share one local header")
            << raw_zip(shared) << ArchiveStatus::Damaged << ok;
        QList<RawEntry> overlapping = {{"w.txt", "Rifle\\damage\\12\r\n"},
                                       {"x.txt", "X\\k\\v", 0, {}, {}, 20}};
        QTest::newRow("entries overlap") << raw_zip(overlapping) << ArchiveStatus::Damaged << ok;

        QByteArray unknownMethod = plain;
        put16(unknownMethod, 8, 98);
        put16(unknownMethod, centralHeader(unknownMethod) + 10, 98);
        QTest::newRow("unknown packing method")
            << unknownMethod << ok << ArchiveStatus::UnsupportedMethod;
        QByteArray lzma = plain;
        put16(lzma, 8, 14);
        put16(lzma, centralHeader(lzma) + 10, 14);
        QTest::newRow("LZMA") << lzma << ok << ArchiveStatus::UnsupportedMethod;
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
        QCOMPARE(opened.reason.contains(QStringLiteral("\"w.txt\"")), !opened.ok());
        QCOMPARE(bytes.isEmpty(), !opened.ok());
        QCOMPARE(fromMemory.read(*fromMemory.find(QStringLiteral("w.txt")), kLimit, bytes).status,
                 read);
    }

    void keepsWhatMakesTheFileItself_data()
    {
        QTest::addColumn<Keep>("keep");
        QTest::newRow("its other hard link") << Keep::HardLink;
        QTest::newRow("a folder that takes no new file") << Keep::ReadOnlyFolder;
        QTest::newRow("mode 0444") << Keep::ReadOnlyMode;
        QTest::newRow("set-user-ID bit") << Keep::SetUserId;
        QTest::newRow("extended attribute") << Keep::Xattr;
    }

    void keepsWhatMakesTheFileItself()
    {
        QFETCH(Keep, keep);
        if (keep == Keep::ReadOnlyFolder && geteuid() == 0)
            QSKIP("permissions do not hold back the superuser");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("game.pk3"));
        const QString link = dir.filePath(QStringLiteral("link.pk3"));
        const QByteArray name = QFile::encodeName(path);
        QVERIFY(make_zip(path, kArchive));
        if (keep == Keep::HardLink)
            QVERIFY(::link(name.constData(), QFile::encodeName(link).constData()) == 0);
        const mode_t mode = keep == Keep::ReadOnlyMode ? 0444
                            : keep == Keep::SetUserId  ? 04755
                                                       : 0644;
        QVERIFY(::chmod(name.constData(), mode) == 0);
        if (keep == Keep::Xattr &&
            ::setxattr(name.constData(), "user.origin", "mod kit", 7, 0) != 0)
            QSKIP("this file system keeps no extended attributes");
        struct stat before {
        };
        QVERIFY(::stat(name.constData(), &before) == 0);
        if (keep == Keep::ReadOnlyFolder)
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);

        const ArchiveResult written = write_archive_entry(path, "weapons/rifle.txt", "R\\k\\v");
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY2(written.ok(), qPrintable(written.reason));

        QByteArray bytes;
        QVERIFY(
            read_entry(keep == Keep::HardLink ? link : path, "weapons/rifle.txt", kLimit, bytes));
        QCOMPARE(bytes, "R\\k\\v");
        struct stat after {
        };
        QVERIFY(::stat(name.constData(), &after) == 0);
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(after.st_nlink, before.st_nlink);
        QCOMPARE(after.st_uid, before.st_uid);
        QCOMPARE(after.st_gid, before.st_gid);
        char value[16] = {};
        if (keep == Keep::Xattr)
            QCOMPARE(QByteArray(value, int(::getxattr(name.constData(), "user.origin", value, 16))),
                     "mod kit");
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(),
                 keep == Keep::HardLink ? 2 : 1);
    }

    void failedWriteLeavesArchive_data()
    {
        QTest::addColumn<Spoil>("spoil");
        QTest::addColumn<ArchiveStatus>("status");
        QTest::newRow("a named pipe in its place") << Spoil::Fifo << ArchiveStatus::NotZip;
        QTest::newRow("disk takes no more bytes") << Spoil::FullDisk << ArchiveStatus::CannotWrite;
        QTest::newRow("no entry of that name") << Spoil::NoSuchName << ArchiveStatus::NoSuchEntry;
        QTest::newRow("method that cannot be packed")
            << Spoil::UnpackableMethod << ArchiveStatus::UnsupportedMethod;
        QTest::newRow("encrypted entry") << Spoil::Encrypted << ArchiveStatus::Encrypted;
        QTest::newRow("two entries of the name")
            << Spoil::DuplicateName << ArchiveStatus::DuplicateName;
        QTest::newRow("cancelled halfway") << Spoil::Cancelled << ArchiveStatus::Cancelled;
        QTest::newRow("cancelled halfway, with a second name")
            << Spoil::CancelledWithSecondName << ArchiveStatus::Cancelled;
    }

    void failedWriteLeavesArchive()
    {
        QFETCH(Spoil, spoil);
        QFETCH(ArchiveStatus, status);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("game.pk3"));
        QByteArray archive =
            built({{"w.txt", "Rifle\\damage\\12\r\n", ZIP_CM_STORE, {}, spoil == Spoil::Encrypted},
                   {spoil == Spoil::DuplicateName ? "w.tx_" : "wall.bin", noise(256 * 1024)}});
        archive.replace("w.tx_", "w.txt");
        if (spoil == Spoil::UnpackableMethod) {
            put16(archive, 8, 98);
            put16(archive, centralHeader(archive) + 10, 98);
        }
        QVERIFY(spoil == Spoil::Fifo ? mkfifo(QFile::encodeName(path).constData(), 0600) == 0
                                     : write_file(path, archive));

        const bool linked = spoil == Spoil::CancelledWithSecondName;
        if (linked) {
            QVERIFY(::link(QFile::encodeName(path).constData(),
                           QFile::encodeName(dir.filePath("other.pk3")).constData()) == 0);
        }
        const QString name =
            spoil == Spoil::NoSuchName ? QStringLiteral("x.txt") : QStringLiteral("w.txt");
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit before = limit;
        if (spoil == Spoil::FullDisk) {
            std::signal(SIGXFSZ, SIG_IGN);
            limit.rlim_cur = 64 * 1024;
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        const ArchiveResult result =
            write_archive_entry(path, name, "Rifle\\damage\\99", [&](qint64 done, qint64 total) {
                return (spoil != Spoil::Cancelled && !linked) || done < total / 2;
            });
        setrlimit(RLIMIT_FSIZE, &before);

        QCOMPARE(result.status, status);
        QVERIFY(!result.reason.isEmpty());
        QVERIFY(spoil == Spoil::Fifo ? !QFileInfo(path).isFile() : file_bytes(path) == archive);
        const QStringList left = spoil == Spoil::Fifo ? QStringList()
                                 : linked             ? QStringList{"game.pk3", "other.pk3"}
                                                      : QStringList{"game.pk3"};
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), left);
        QVERIFY(unfinished_save_backup(path).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestZipArchive)
#include "test_zip_archive.moc"
