#include "document/careful_save.h"

#include "document/disk_file.h"
#include "document/extended_attributes.h"
#include "document/in_place_write.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

WeaponFileResult cannotWrite(const QString &why)
{
    return {WeaponFileStatus::CannotWrite, 0,
            QStringLiteral("The file cannot be written: %1").arg(why)};
}

WeaponFileResult notAFile(unsigned mode)
{
    return {WeaponFileStatus::NotAFile, 0,
            QStringLiteral("It is %1, not a regular file, so nothing was written over it.")
                .arg(special_file_kind(mode))};
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether path still names what was looked at before the save began (or still nothing), so that
// a named pipe or device put there meanwhile is not replaced by a regular file.
bool unchangedKind(const QString &path, const struct stat *before)
{
    struct stat now {
    };
    if (::stat(QFile::encodeName(path).constData(), &now) != 0)
        return !before && errno == ENOENT;
    return before && S_ISREG(now.st_mode) && sameFile(now, *before) &&
           now.st_nlink == before->st_nlink;
}

// The new file has to carry the old one's owner, group, mode, extended attributes and access
// lists before it takes its name. False when this process may not give it all of them.
bool takeIdentity(const QString &path, int fd, const struct stat &old)
{
    if ((old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
        ::fchown(fd, old.st_uid, old.st_gid) != 0)
        return false;
    // After the owner: a change of owner may clear the set-user-ID and set-group-ID bits. Before
    // the access list, which is kept in step with the mode.
    return ::fchmod(fd, old.st_mode & 07777) == 0 && copy_extended_attributes(path, fd);
}

// What the disk holds once the new file has its name: the rename moved its change time.
DiskSnapshot renamedSnapshot(const QString &path, const struct stat &ours, quint64 sum)
{
    struct stat now {
    };
    const bool stillOurs =
        ::stat(QFile::encodeName(path).constData(), &now) == 0 && sameFile(now, ours);
    return snapshot_of(stillOurs ? now : ours, sum);
}

// A new file with the bytes, renamed over the old one once every byte is down. Unbuffered,
// because QSaveFile::commit() ignores a failure to flush its buffer and would rename a cut-short
// file over the old one. Nothing when the replace would change who owns the file or what it
// carries, or when the folder takes no new file but the file itself may be written: then only an
// in-place write keeps the file as it was.
std::optional<WeaponFileResult> replaceAtomically(const QString &path, const SaveSource &source,
                                                  const struct stat *old, DiskSnapshot *written)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (old && ::access(QFile::encodeName(path).constData(), W_OK) == 0)
            return std::nullopt;
        return cannotWrite(file.errorString());
    }
    if (old && !takeIdentity(path, file.handle(), *old)) {
        file.cancelWriting();
        return std::nullopt;
    }
    quint64 sum = 0;
    struct stat ours {
    };
    if (const int error = source.writeTo(file.handle(), sum); error != 0) {
        file.cancelWriting();
        return cannotWrite(system_error_text(error));
    }
    if (!unchangedKind(path, old)) {
        file.cancelWriting();
        return cannotWrite(QStringLiteral("another program replaced it while it was saved."));
    }
    if (::fstat(file.handle(), &ours) != 0 || !file.commit())
        return cannotWrite(file.errorString());
    if (written)
        *written = renamedSnapshot(path, ours, sum);
    return WeaponFileResult{};
}

// Produced content is taken down in a temporary file first: the in-place write reads back what
// it wrote and may have to write it again, and the writer may be reading the very file that is
// about to be overwritten.
WeaponFileResult writeInPlace(const QString &path, const SaveSource &source, const struct stat &old,
                              bool backUp, DiskSnapshot *written)
{
    if (!source.isProduced())
        return write_in_place(path, source, old, backUp, written);
    QTemporaryFile copy;
    if (!copy.open())
        return cannotWrite(copy.errorString());
    quint64 sum = 0;
    struct stat info {
    };
    if (const int error = source.writeTo(copy.handle(), sum); error != 0)
        return cannotWrite(system_error_text(error));
    if (::fstat(copy.handle(), &info) != 0)
        return cannotWrite(system_error_text(errno));
    return write_in_place(path, SaveSource(copy.handle(), info.st_size), old, backUp, written);
}

// backUp false: the bytes come from the backup of an unfinished save, which keeps them safe.
WeaponFileResult writeCarefully(const QString &path, const SaveSource &source, bool backUp,
                                DiskSnapshot *written)
{
    if (path.isEmpty())
        return cannotWrite(QStringLiteral("no file name was given."));
    struct stat old {
    };
    if (::stat(QFile::encodeName(path).constData(), &old) != 0) {
        if (errno != ENOENT)
            return cannotWrite(system_error_text(errno));
        return replaceAtomically(path, source, nullptr, written).value();
    }
    if (!S_ISREG(old.st_mode))
        return notAFile(old.st_mode);
    // A new file under the name would leave the other names holding the old bytes.
    if (old.st_nlink == 1) {
        if (std::optional<WeaponFileResult> replaced =
                replaceAtomically(path, source, &old, written))
            return *replaced;
    }
    return writeInPlace(path, source, old, backUp, written);
}

// The backup's bytes, refused unless it is a regular file.
int openBackup(const QString &backup, struct stat &info)
{
    const int fd = ::open(QFile::encodeName(backup).constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW);
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

} // namespace

WeaponFileResult write_file_carefully(const QString &path, const QByteArray &bytes,
                                      DiskSnapshot *written)
{
    return writeCarefully(path, SaveSource(bytes), true, written);
}

WeaponFileResult write_file_carefully(const QString &path, const QFileDevice &source,
                                      DiskSnapshot *written)
{
    struct stat info {
    };
    if (source.handle() < 0 || ::fstat(source.handle(), &info) != 0)
        return cannotWrite(QStringLiteral("the new content could not be read."));
    return writeCarefully(path, SaveSource(source.handle(), info.st_size), true, written);
}

WeaponFileResult write_file_carefully(const QString &path, const ContentWriter &writer,
                                      DiskSnapshot *written)
{
    return writeCarefully(path, SaveSource(writer), true, written);
}

QString unfinished_save_backup(const QString &path)
{
    for (const QString &backup : save_backup_locations(path)) {
        if (QFileInfo(backup).isFile())
            return backup;
    }
    return {};
}

WeaponFileResult restore_unfinished_save(const QString &path)
{
    const QString backup = unfinished_save_backup(path);
    if (backup.isEmpty())
        return {};
    struct stat info {
    };
    const Descriptor file(openBackup(backup, info));
    if (file.fd() < 0) {
        return {WeaponFileStatus::CannotRead, 0,
                QStringLiteral("The backup %1 cannot be read: %2")
                    .arg(QDir::toNativeSeparators(backup), system_error_text(errno))};
    }
    if (WeaponFileResult restored =
            writeCarefully(path, SaveSource(file.fd(), info.st_size), false, nullptr);
        !restored) {
        restored.reason +=
            QStringLiteral(" The backup stays in %1.").arg(QDir::toNativeSeparators(backup));
        return restored;
    }
    return drop_unfinished_save(path);
}

WeaponFileResult drop_unfinished_save(const QString &path)
{
    const QString backup = unfinished_save_backup(path);
    if (backup.isEmpty())
        return {};
    if (::unlink(QFile::encodeName(backup).constData()) != 0) {
        return cannotWrite(QStringLiteral("its backup %1 cannot be removed: %2")
                               .arg(QDir::toNativeSeparators(backup), system_error_text(errno)));
    }
    sync_folder(QFileInfo(backup).absolutePath());
    return {};
}

void ignore_file_size_signal()
{
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}
