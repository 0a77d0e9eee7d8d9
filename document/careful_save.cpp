#include "document/careful_save.h"

#include "document/disk_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <memory>
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

// A short write sets no error of its own; writing on from where it stopped makes the system
// say why (a full disk, a file too large), so that the user is told.
bool writeAll(QSaveFile &file, const QByteArray &bytes)
{
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 step = file.write(bytes.constData() + written, bytes.size() - written);
        if (step <= 0)
            return false;
        written += step;
    }
    return true;
}

// The new file has to carry the old one's owner, group and mode before it takes its name.
// False when this process may not give them to it.
bool takeIdentity(int fd, const struct stat &old)
{
    if ((old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
        ::fchown(fd, old.st_uid, old.st_gid) != 0)
        return false;
    // After the owner: a change of owner may clear the set-user-ID and set-group-ID bits.
    return ::fchmod(fd, old.st_mode & 07777) == 0;
}

// A new file with the bytes, renamed over the old one once every byte is down. Unbuffered,
// because QSaveFile::commit() ignores a failure to flush its buffer and would rename a cut-short
// file over the old one. Nothing when the replace would change who owns the file, or when the
// folder takes no new file but the file itself may be written: then only an in-place write keeps
// the file as it was.
std::optional<WeaponFileResult> replaceAtomically(const QString &path, const QByteArray &bytes,
                                                  const struct stat *old)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (old && ::access(QFile::encodeName(path).constData(), W_OK) == 0)
            return std::nullopt;
        return cannotWrite(file.errorString());
    }
    if (old && !takeIdentity(file.handle(), *old)) {
        file.cancelWriting();
        return std::nullopt;
    }
    if (!writeAll(file, bytes)) {
        const QString why = file.errorString();
        file.cancelWriting();
        return cannotWrite(why);
    }
    if (!unchangedKind(path, old)) {
        file.cancelWriting();
        return cannotWrite(QStringLiteral("another program replaced it while it was saved."));
    }
    if (!file.commit())
        return cannotWrite(file.errorString());
    return WeaponFileResult{};
}

// Runs pread or pwrite until size bytes have moved; gives 0, or the errno of the step that failed.
template <typename Data, typename Call>
int moveAll(Call call, int fd, Data *data, qint64 size, qint64 offset)
{
    while (size > 0) {
        const ssize_t step = call(fd, data, size_t(size), offset);
        if (step < 0 && errno == EINTR)
            continue;
        if (step <= 0)
            return step < 0 ? errno : EIO;
        data += step;
        size -= step;
        offset += step;
    }
    return 0;
}

int writeAt(int fd, const char *data, qint64 size, qint64 offset)
{
    return moveAll(::pwrite, fd, data, size, offset);
}

int readAt(int fd, char *data, qint64 size, qint64 offset)
{
    return moveAll(::pread, fd, data, size, offset);
}

constexpr qint64 kCopyChunk = 1 << 20;

// Copies size bytes from one descriptor to the other, in pieces, so that the memory taken does
// not grow with the file.
int copyBytes(int from, int to, qint64 size)
{
    QByteArray chunk(std::min(size, kCopyChunk), Qt::Uninitialized);
    for (qint64 done = 0; done < size; done += chunk.size()) {
        const qint64 n = std::min<qint64>(chunk.size(), size - done);
        if (const int error = readAt(from, chunk.data(), n, done); error != 0)
            return error;
        if (const int error = writeAt(to, chunk.constData(), n, done); error != 0)
            return error;
    }
    return 0;
}

// The bytes are written, cut to length, on the disk and read back the same.
int overwrite(int fd, const QByteArray &bytes)
{
    if (const int error = writeAt(fd, bytes.constData(), bytes.size(), 0); error != 0)
        return error;
    if (::ftruncate(fd, bytes.size()) != 0 || ::fsync(fd) != 0)
        return errno;
    QByteArray back(bytes.size(), Qt::Uninitialized);
    if (const int error = readAt(fd, back.data(), back.size(), 0); error != 0)
        return error;
    return back == bytes ? 0 : EIO;
}

int restore(int fd, int backup, qint64 size)
{
    if (const int error = copyBytes(backup, fd, size); error != 0)
        return error;
    return ::ftruncate(fd, size) == 0 && ::fsync(fd) == 0 ? 0 : errno;
}

// A new, private file for the old bytes: beside the file where the folder allows, so that it
// stays on the same disk, otherwise in the cache or temporary folder.
std::unique_ptr<QTemporaryFile> openBackup(const QString &path)
{
    const QFileInfo info(path);
    const QString name = QStringLiteral(".%1.backup-XXXXXX").arg(info.fileName());
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    for (const QString &folder : {info.absolutePath(), cache, QDir::tempPath()}) {
        if (folder.isEmpty() || !QDir().mkpath(folder))
            continue;
        auto backup = std::make_unique<QTemporaryFile>(QDir(folder).filePath(name));
        if (backup->open())
            return backup;
    }
    return nullptr;
}

// The old bytes of the open file copied to a backup and on the disk, or why they could not be.
std::unique_ptr<QTemporaryFile> backUp(const QString &path, int fd, qint64 size, QString &why)
{
    std::unique_ptr<QTemporaryFile> backup = openBackup(path);
    if (!backup) {
        why = QStringLiteral("no backup of its old bytes could be made.");
        return nullptr;
    }
    int error = copyBytes(fd, backup->handle(), size);
    if (error == 0 && ::fsync(backup->handle()) != 0)
        error = errno;
    if (error != 0) {
        why = QStringLiteral("no backup of its old bytes could be made: %1")
                  .arg(system_error_text(error));
        return nullptr;
    }
    return backup;
}

WeaponFileResult writeInPlace(const QString &path, const QByteArray &bytes, const struct stat &old)
{
    const Descriptor file(
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.fd() < 0)
        return cannotWrite(system_error_text(errno));
    struct stat opened {
    };
    if (::fstat(file.fd(), &opened) != 0 || !S_ISREG(opened.st_mode) || !sameFile(opened, old))
        return cannotWrite(QStringLiteral("another program replaced it while it was saved."));
    QString why;
    const std::unique_ptr<QTemporaryFile> backup = backUp(path, file.fd(), opened.st_size, why);
    if (!backup)
        return cannotWrite(why);
    const int error = overwrite(file.fd(), bytes);
    if (error == 0)
        return {};
    why = system_error_text(error);
    if (restore(file.fd(), backup->handle(), opened.st_size) != 0) {
        // Left where it is, for the user to recover the file from.
        backup->setAutoRemove(false);
        return cannotWrite(
            QStringLiteral("%1. Its old bytes could not be put back; they are in %2.")
                .arg(why, QDir::toNativeSeparators(backup->fileName())));
    }
    return cannotWrite(why);
}

} // namespace

WeaponFileResult write_file_carefully(const QString &path, const QByteArray &bytes)
{
    if (path.isEmpty())
        return cannotWrite(QStringLiteral("no file name was given."));
    struct stat old {
    };
    if (::stat(QFile::encodeName(path).constData(), &old) != 0) {
        if (errno != ENOENT)
            return cannotWrite(system_error_text(errno));
        return replaceAtomically(path, bytes, nullptr).value();
    }
    if (!S_ISREG(old.st_mode))
        return notAFile(old.st_mode);
    // A new file under the name would leave the other names holding the old bytes.
    if (old.st_nlink == 1) {
        if (std::optional<WeaponFileResult> replaced = replaceAtomically(path, bytes, &old))
            return *replaced;
    }
    return writeInPlace(path, bytes, old);
}

void ignore_file_size_signal()
{
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}
