#include "document/disk_file.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

WeaponFileResult cannotRead(int error)
{
    return {WeaponFileStatus::CannotRead, 0,
            QStringLiteral("The file cannot be read: %1").arg(system_error_text(error))};
}

// Whatever st_mode and st_size say, the file is refused unless it is a regular file small
// enough to be a weapon file.
WeaponFileResult refusal(const struct stat &info)
{
    if (!S_ISREG(info.st_mode)) {
        return {
            WeaponFileStatus::NotAFile, 0,
            QStringLiteral("It is %1, not a weapon file.").arg(special_file_kind(info.st_mode))};
    }
    if (info.st_size > kMaxWeaponFileBytes) {
        return {WeaponFileStatus::TooLarge, 0,
                QStringLiteral("The file is larger than 16 MiB (%1 bytes); no weapon file is "
                               "that large.")
                    .arg(info.st_size)};
    }
    return {};
}

qint64 nanoseconds(const struct timespec &time)
{
    return qint64(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

// Reads until the end of the file, but never more than one byte past the limit, so that a file
// growing while it is read cannot take more memory than the largest weapon file.
int readAll(int fd, qint64 expected, QByteArray &bytes)
{
    bytes.resize(std::min(expected, kMaxWeaponFileBytes) + 1);
    qint64 got = 0;
    while (got < bytes.size()) {
        const ssize_t step = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
        if (step < 0 && errno == EINTR)
            continue;
        if (step < 0)
            return errno;
        if (step == 0)
            break;
        got += step;
        if (got == bytes.size() && got <= kMaxWeaponFileBytes)
            bytes.resize(std::min<qint64>(got * 2, kMaxWeaponFileBytes + 1));
    }
    bytes.resize(got);
    return 0;
}

} // namespace

Descriptor::~Descriptor()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString special_file_kind(unsigned mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe (FIFO)");
    if (S_ISCHR(mode))
        return QStringLiteral("a character device");
    if (S_ISBLK(mode))
        return QStringLiteral("a block device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("a special file");
}

QString system_error_text(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

quint64 bytes_checksum(QByteArrayView bytes) { return qHash(bytes, 0); }

WeaponFileResult read_regular_file(const QString &path, QByteArray &bytes, DiskSnapshot &disk)
{
    bytes.clear();
    const QByteArray name = QFile::encodeName(path);
    struct stat info {
    };
    // The type is known before the file is opened: opening a device can have effects of its own.
    if (::stat(name.constData(), &info) != 0)
        return cannotRead(errno);
    if (WeaponFileResult refused = refusal(info); !refused)
        return refused;
    // Something else may stand at the path by now; what counts is what was opened, and
    // O_NONBLOCK keeps a named pipe slipped in meanwhile from holding the open.
    const Descriptor file(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.fd() < 0)
        return cannotRead(errno);
    if (::fstat(file.fd(), &info) != 0)
        return cannotRead(errno);
    if (WeaponFileResult refused = refusal(info); !refused)
        return refused;
    if (const int error = readAll(file.fd(), info.st_size, bytes); error != 0)
        return cannotRead(error);
    if (bytes.size() > kMaxWeaponFileBytes) {
        bytes.clear();
        info.st_size = kMaxWeaponFileBytes + 1;
        return refusal(info);
    }
    disk = {bytes.size(), nanoseconds(info.st_mtim), bytes_checksum(bytes)};
    return {};
}

qint64 modification_time(const QString &path)
{
    struct stat info {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? nanoseconds(info.st_mtim) : 0;
}

DiskSnapshot disk_snapshot(const QString &path)
{
    struct stat info {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    // Too large to be ours: its size alone tells it from anything we read or wrote.
    if (info.st_size > kMaxWeaponFileBytes)
        return {info.st_size, nanoseconds(info.st_mtim), 0};
    QByteArray bytes;
    DiskSnapshot disk;
    if (!read_regular_file(path, bytes, disk))
        return {};
    return disk;
}

bool disk_changed(const WeaponOrigin &origin) { return disk_snapshot(origin.path) != origin.disk; }
