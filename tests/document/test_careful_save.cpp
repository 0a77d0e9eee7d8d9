#include "document/careful_save.h"
#include "document/weapon_file.h"

#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

static QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

static bool write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

static struct stat statOf(const QString &path)
{
    struct stat info {
    };
    ::stat(QFile::encodeName(path).constData(), &info);
    return info;
}

// Runs the save in a child process that has become user, so that it meets the file as another
// user would; the child's exit status is 0 only when the save succeeded.
static bool saveAs(uid_t user, const QString &path, const QByteArray &bytes)
{
    const pid_t child = ::fork();
    if (child == 0) {
        const bool switched = ::setgid(user) == 0 && ::setuid(user) == 0;
        ::_exit(switched && write_file_carefully(path, bytes).ok() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// Every extended attribute of the file, names and values, as one text.
static QByteArray attributesOf(const QByteArray &path)
{
    QByteArray names(4096, 0), all;
    names.resize(std::max<ssize_t>(::listxattr(path.constData(), names.data(), 4096), 0));
    for (const QByteArray &name : names.split('\0')) {
        QByteArray value(4096, 0);
        value.resize(std::max<ssize_t>(::getxattr(path.constData(), name, value.data(), 4096), 0));
        all += name + '=' + value.toHex() + '\n';
    }
    return all;
}

// A user attribute, and an access list that lets user nobody read the file: the list as the
// system keeps it, a version and then tag, permissions and id for each entry.
static bool giveAttributes(const QByteArray &path)
{
    QByteArray list;
    const auto add = [&list](quint16 tag, quint16 permissions, quint32 id) {
        list.append(reinterpret_cast<const char *>(&tag), 2)
            .append(reinterpret_cast<const char *>(&permissions), 2)
            .append(reinterpret_cast<const char *>(&id), 4);
    };
    const quint32 version = 2, none = quint32(-1);
    list.append(reinterpret_cast<const char *>(&version), 4);
    add(0x01, 6, none);  // the owner
    add(0x02, 4, 65534); // user nobody
    add(0x04, 4, none);  // the owning group
    add(0x10, 4, none);  // the mask
    add(0x20, 0, none);  // others
    return ::setxattr(path.constData(), "user.armsmith", "kept", 4, 0) == 0 &&
           ::setxattr(path.constData(), "system.posix_acl_access", list.constData(),
                      size_t(list.size()), 0) == 0;
}

// The step at which the in-place write below is cut short, and how.
static InPlaceStep g_cutAt = InPlaceStep::BackupOnDisk;

static int killAtCut(InPlaceStep step)
{
    if (step == g_cutAt)
        ::raise(SIGKILL);
    return 0;
}

// The write fails at the cut, and so does every step after it.
static int failFromCut(InPlaceStep step) { return step >= g_cutAt ? EIO : 0; }

class TestCarefulSave : public QObject
{
    Q_OBJECT

    static constexpr uid_t kNobody = 65534;

private slots:
    void initTestCase()
    {
        ignore_file_size_signal();
        QStandardPaths::setTestModeEnabled(true);
    }

    // The file is saved over with new bytes; it has to stay the same file to the system and
    // to every other name it has.
    void keepsTheFileItself_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("owner");     // -1: the user running the tests
        QTest::addColumn<int>("group");     // -1: the owner's
        QTest::addColumn<QString>("alias"); // "hard" or "symbolic" link to it, or none
        QTest::addColumn<int>("saver");     // -1: the user running the tests
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<QByteArray>("old");  // the bytes saved over
        QTest::addColumn<bool>("attributes"); // an extended attribute and an access list
        const QByteArray s = "H\\a\\1\r\n";
        const QByteArray longer = "H\\a\\1\\b\\2\\c\\3\\d\\4\r\nan old tail\r\n";
        const int nobody = int(kNobody);
        QTest::newRow("read-only") << 0444 << -1 << -1 << "" << -1 << 0755 << s << false;
        QTest::newRow("owned by another user")
            << 0644 << nobody << -1 << "" << -1 << 0755 << s << false;
        QTest::newRow("ours, with another group")
            << 0644 << -1 << nobody << "" << -1 << 0755 << s << false;
        QTest::newRow("second hard link") << 0644 << -1 << -1 << "hard" << -1 << 0755 << s << false;
        QTest::newRow("second hard link, saved shorter: nothing of the old tail stays")
            << 0644 << -1 << -1 << "hard" << -1 << 0755 << longer << false;
        QTest::newRow("read-only, second hard link")
            << 0444 << -1 << -1 << "hard" << -1 << 0755 << s << false;
        QTest::newRow("reached through a symbolic link")
            << 0600 << -1 << -1 << "symbolic" << -1 << 0755 << s << false;
        QTest::newRow("saved by a user who may write it but not own it")
            << 0666 << -1 << -1 << "" << nobody << 0777 << s << false;
        QTest::newRow("saved by a user who may write it but not own it, nor write its folder")
            << 0666 << -1 << -1 << "" << nobody << 0755 << s << false;
        QTest::newRow("extended attribute and access list")
            << 0640 << -1 << -1 << "" << -1 << 0755 << s << true;
    }
    void keepsTheFileItself()
    {
        QFETCH(int, mode);
        QFETCH(int, owner);
        QFETCH(int, group);
        QFETCH(QString, alias);
        QFETCH(int, saver);
        QFETCH(int, folderMode);
        QFETCH(QByteArray, old);
        QFETCH(bool, attributes);
        if ((owner >= 0 || group >= 0 || saver >= 0) && ::geteuid() != 0)
            QSKIP("Only root can hand files and the save over to another user.");
        QTemporaryDir dir;
        const QString path = dir.filePath("weapon.txt");
        const QString other = dir.filePath("other.txt");
        const QByteArray name = QFile::encodeName(path);
        QVERIFY(write(path, old));
        QVERIFY(alias != "hard" || ::link(name, QFile::encodeName(other)) == 0);
        QVERIFY(alias != "symbolic" || QFile::link(path, other));
        QVERIFY(owner < 0 || ::chown(name.constData(), owner, owner) == 0);
        QVERIFY(group < 0 || ::chown(name.constData(), uid_t(-1), gid_t(group)) == 0);
        QVERIFY(::chmod(name.constData(), mode) == 0);
        if (attributes && !giveAttributes(name))
            QSKIP("This file system keeps no extended attributes or access lists.");
        const QByteArray attributesBefore = attributesOf(name);
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), folderMode) == 0);
        const struct stat before = statOf(path);
        const QByteArray bytes = "H\\a\\2\\b\\3\r\nkept\r\n";
        const QString saved = alias.isEmpty() ? path : other;
        if (saver >= 0)
            QVERIFY(saveAs(saver, saved, bytes));
        else
            QVERIFY(write_file_carefully(saved, bytes).ok());
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0700) == 0);
        const struct stat after = statOf(path);
        QCOMPARE(bytesOf(path), bytes);
        QCOMPARE(bytesOf(other), alias.isEmpty() ? QByteArray() : bytes);
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(after.st_uid, before.st_uid);
        QCOMPARE(after.st_gid, before.st_gid);
        QCOMPARE(after.st_nlink, before.st_nlink);
        QCOMPARE(QFileInfo(other).isSymLink(), alias == "symbolic");
        QCOMPARE(attributesOf(name), attributesBefore);
        // No backup or temporary file is left behind.
        const QStringList names =
            alias.isEmpty() ? QStringList{"weapon.txt"} : QStringList{"other.txt", "weapon.txt"};
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System), names);
    }

    // A save in place (the file has a second name) stops before it is done: the process is
    // killed, or the write fails and putting the old bytes back fails too. What Open then finds
    // must give the old bytes back exactly, or let them go when the user keeps the file.
    void anInPlaceSaveCutShortLeavesAWayBack_data()
    {
        QTest::addColumn<InPlaceStep>("cut");
        QTest::addColumn<bool>("killed");  // else the steps fail
        QTest::addColumn<bool>("torn");    // the file holds new bytes and old ones
        QTest::addColumn<bool>("restore"); // else the file is kept as it is
        using S = InPlaceStep;
        QTest::newRow("killed with the backup on the disk")
            << S::BackupOnDisk << true << false << true;
        QTest::newRow("killed after the first piece of new bytes")
            << S::WritingNewBytes << true << true << true;
        QTest::newRow("killed after the first piece, kept as it is")
            << S::WritingNewBytes << true << true << false;
        QTest::newRow("write failed, and putting the old bytes back too")
            << S::WritingNewBytes << false << true << true;
    }
    void anInPlaceSaveCutShortLeavesAWayBack()
    {
        QFETCH(InPlaceStep, cut);
        QFETCH(bool, killed);
        QFETCH(bool, torn);
        QFETCH(bool, restore);
        QTemporaryDir dir;
        const QString path = dir.filePath("weapon.txt");
        const QByteArray old = "H\\a\\" + QByteArray(3 << 19, 'o') + "\r\n";
        const QByteArray now = "H\\a\\" + QByteArray(3 << 19, 'n') + "\r\n";
        QVERIFY(write(path, old));
        QVERIFY(::link(QFile::encodeName(path), QFile::encodeName(dir.filePath("other"))) == 0);
        g_cutAt = cut;
        int status = 0;
        if (killed) {
            const pid_t child = ::fork();
            if (child == 0) {
                set_in_place_probe(killAtCut);
                write_file_carefully(path, now);
                ::_exit(0);
            }
            QVERIFY(::waitpid(child, &status, 0) == child);
            QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        } else {
            set_in_place_probe(failFromCut);
            const WeaponFileResult result = write_file_carefully(path, now);
            set_in_place_probe(nullptr);
            QVERIFY(!result.ok());
            QVERIFY2(result.reason.contains(unfinished_save_backup(path)),
                     qPrintable(result.reason));
        }
        const QByteArray left = bytesOf(path);
        QCOMPARE(left != old, torn);
        QVERIFY(left.startsWith(torn ? now.left(1 << 20) : old.left(1 << 20)));
        const QString backup = unfinished_save_backup(path);
        QVERIFY(!backup.isEmpty());
        QCOMPARE(bytesOf(backup), old);
        QVERIFY(restore ? restore_unfinished_save(path).ok() : drop_unfinished_save(path).ok());
        QCOMPARE(bytesOf(path), restore ? old : left);
        QCOMPARE(bytesOf(dir.filePath("other")), bytesOf(path));
        QVERIFY(!QFileInfo::exists(backup));
        QVERIFY(unfinished_save_backup(path).isEmpty());
        // The next save goes through as if nothing had happened.
        QVERIFY(write_file_carefully(path, now).ok());
        QCOMPARE(bytesOf(path), now);
    }

    // The document is opened, then the file meets what happens; a save through the origin
    // must see whether the disk still holds what it read.
    void noticesAnotherProgramsChange_data()
    {
        QTest::addColumn<QString>("happens");
        QTest::addColumn<bool>("settled"); // read well after the file's last change
        QTest::addColumn<bool>("changed");
        QTest::newRow("nothing") << "nothing" << false << false;
        QTest::newRow("nothing, read well after") << "nothing" << true << false;
        QTest::newRow("our own save") << "saved" << false << false;
        QTest::newRow("other bytes of the same size, time put back")
            << "same size and time" << false << true;
        QTest::newRow("other bytes of the same size, time put back, read well after")
            << "same size and time" << true << true;
        QTest::newRow("same bytes, later time") << "touched" << false << true;
        QTest::newRow("deleted") << "deleted" << false << true;
        QTest::newRow("replaced by a named pipe") << "named pipe" << false << true;
    }
    void noticesAnotherProgramsChange()
    {
        QFETCH(QString, happens);
        QFETCH(bool, settled);
        QFETCH(bool, changed);
        QTemporaryDir dir;
        const QString path = dir.filePath("weapon.txt");
        const QByteArray name = QFile::encodeName(path);
        QVERIFY(write(path, "H\\a\\1\r\nrest"));
        // Once the file system's clock has moved on, a change gets a later change time, and the
        // times alone tell it.
        const qint64 lastChange =
            statOf(path).st_ctim.tv_sec * 1000 + statOf(path).st_ctim.tv_nsec / 1000000;
        if (settled)
            QTRY_VERIFY(QDateTime::currentMSecsSinceEpoch() > lastChange + 100);
        WeaponTree tree;
        WeaponOrigin origin;
        QVERIFY(load_weapon(tree, path, &origin).ok());
        QCOMPARE(origin.disk, disk_snapshot(path));
        const struct stat read = statOf(path);
        if (happens == "saved") {
            tree.setText(3, "22");
            QVERIFY(save_weapon(tree, origin).ok());
        }
        // The time is set to what was read, or a second later, in both fields.
        timespec times[2] = {read.st_mtim, read.st_mtim};
        if (happens == "same size and time")
            QVERIFY(write(path, "H\\a\\9\r\nrest"));
        times[1].tv_sec += happens == "touched" ? 1 : 0;
        if (happens == "same size and time" || happens == "touched")
            QVERIFY(::utimensat(AT_FDCWD, name.constData(), times, 0) == 0);
        if (happens == "deleted" || happens == "named pipe")
            QVERIFY(QFile::remove(path));
        if (happens == "named pipe")
            QVERIFY(::mkfifo(name.constData(), 0644) == 0);
        QCOMPARE(disk_changed(origin), changed);
    }
};

QTEST_GUILESS_MAIN(TestCarefulSave)
#include "test_careful_save.moc"
