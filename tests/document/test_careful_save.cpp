#include "document/careful_save.h"
#include "document/weapon_file.h"

#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

class TestCarefulSave : public QObject
{
    Q_OBJECT

    static constexpr uid_t kNobody = 65534;

private slots:
    void initTestCase() { ignore_file_size_signal(); }

    // The file is saved over with new bytes; it has to stay the same file to the system and
    // to every other name it has.
    void keepsTheFileItself_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("owner");     // -1: the user running the tests
        QTest::addColumn<QString>("alias"); // "hard" or "symbolic" link to it, or none
        QTest::addColumn<int>("saver");     // -1: the user running the tests
        QTest::addColumn<int>("folderMode");
        QTest::newRow("read-only") << 0444 << -1 << "" << -1 << 0755;
        QTest::newRow("owned by another user") << 0644 << int(kNobody) << "" << -1 << 0755;
        QTest::newRow("second hard link") << 0644 << -1 << "hard" << -1 << 0755;
        QTest::newRow("read-only, second hard link") << 0444 << -1 << "hard" << -1 << 0755;
        QTest::newRow("reached through a symbolic link") << 0600 << -1 << "symbolic" << -1 << 0755;
        QTest::newRow("saved by a user who may write it but not own it")
            << 0666 << -1 << "" << int(kNobody) << 0777;
        QTest::newRow("saved by a user who may write it but not own it, nor write its folder")
            << 0666 << -1 << "" << int(kNobody) << 0755;
    }
    void keepsTheFileItself()
    {
        QFETCH(int, mode);
        QFETCH(int, owner);
        QFETCH(QString, alias);
        QFETCH(int, saver);
        QFETCH(int, folderMode);
        if ((owner >= 0 || saver >= 0) && ::geteuid() != 0)
            QSKIP("Only root can hand files and the save over to another user.");
        QTemporaryDir dir;
        const QString path = dir.filePath("weapon.txt");
        const QString other = dir.filePath("other.txt");
        QVERIFY(write(path, "H\\a\\1\r\n"));
        QVERIFY(alias != "hard" || ::link(QFile::encodeName(path), QFile::encodeName(other)) == 0);
        QVERIFY(alias != "symbolic" || QFile::link(path, other));
        QVERIFY(owner < 0 || ::chown(QFile::encodeName(path).constData(), owner, owner) == 0);
        QVERIFY(::chmod(QFile::encodeName(path).constData(), mode) == 0);
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
        // No backup or temporary file is left behind.
        const QStringList names =
            alias.isEmpty() ? QStringList{"weapon.txt"} : QStringList{"other.txt", "weapon.txt"};
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System), names);
    }

    // The document is opened, then the file meets what happens; a save through the origin
    // must see whether the disk still holds what it read.
    void noticesAnotherProgramsChange_data()
    {
        QTest::addColumn<QString>("happens");
        QTest::addColumn<bool>("changed");
        QTest::newRow("nothing") << "nothing" << false;
        QTest::newRow("our own save") << "saved" << false;
        QTest::newRow("other bytes of the same size, time put back")
            << "same size and time" << true;
        QTest::newRow("same bytes, later time") << "touched" << true;
        QTest::newRow("deleted") << "deleted" << true;
        QTest::newRow("replaced by a named pipe") << "named pipe" << true;
    }
    void noticesAnotherProgramsChange()
    {
        QFETCH(QString, happens);
        QFETCH(bool, changed);
        QTemporaryDir dir;
        const QString path = dir.filePath("weapon.txt");
        const QByteArray name = QFile::encodeName(path);
        QVERIFY(write(path, "H\\a\\1\r\nrest"));
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
