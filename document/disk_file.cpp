#include "document/disk_file.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <ctime>
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

constexpr qint64 kSecond = 1'000'000'000;

qint64 nanoseconds(const struct timespec &time)
{
    return qint64(time.tv_sec) * kSecond + time.tv_nsec;
}

qint64 now()
{
    struct timespec time {
    };
    ::clock_gettime(CLOCK_REALTIME, &time);
    return nanoseconds(time);
}

// Whether a later change of the file must move its change time past the one in the snapshot:
// so when the file system's clock had ticked on before the snapshot was taken. A file system
// that keeps whole seconds (or two, as FAT does) is given two; the others tick in milliseconds.
bool timesTell(const DiskSnapshot &disk)
{
    const bool wholeSeconds = disk.changed % kSecond == 0 && disk.modified % kSecond == 0;
    const qint64 tick = wholeSeconds ? 2 * kSecond : kSecond / 20;
    return disk.taken - disk.changed >= tick;
}

// Reads until the end of the file, but never more than one byte past the limit, so that a file
// growing while it is read cannot take more memory than the largest weapon file. info gets the
// file's status once the bytes are in. A read that brings less than was asked for ends it when
// the status agrees, which spares most files the read that would find nothing more.
int readAll(int fd, qint64 expected, QByteArray &bytes, struct stat &info)
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
        if (got == bytes.size()) {
            if (got <= kMaxWeaponFileBytes)
                bytes.resize(std::min<qint64>(got * 2, kMaxWeaponFileBytes + 1));
            continue;
        }
        if (::fstat(fd, &info) != 0)
            return errno;
        if (info.st_size == got) {
            bytes.resize(got);
            return 0;
        }
    }
    bytes.resize(got);
    return ::fstat(fd, &info) == 0 ? 0 : errno;
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

// A regular file at path, opened for reading without following a FIFO into a wait.
int openRegular(const QString &path, struct stat &info)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(fd);
        return -1;
    }
    return fd;
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

quint64 bytes_checksum(QByteArrayView bytes)
{
    quint64 sum = 0;
    for (qsizetype at = 0; at < bytes.size(); at += kFilePiece)
        sum = piece_checksum(bytes.sliced(at, std::min(kFilePiece, bytes.size() - at)), sum);
    return sum;
}

// Qt takes its fast hash only for a seed other than 0, and a sum chained from the start of a
// file is 0 before its first piece.
quint64 piece_checksum(QByteArrayView piece, quint64 before)
{
    constexpr quint64 kStart = 0x9e3779b97f4a7c15;
    return qHash(piece, before ^ kStart);
}

int file_checksum(int fd, qint64 size, quint64 &sum)
{
    sum = 0;
    QByteArray piece(std::min<qint64>(size, kFilePiece), Qt::Uninitialized);
    for (qint64 at = 0; at < size; at += piece.size()) {
        const qint64 n = std::min<qint64>(piece.size(), size - at);
        if (const int error = read_at(fd, piece.data(), n, at); error != 0)
            return error;
        sum = piece_checksum(QByteArrayView(piece).first(n), sum);
    }
    return 0;
}

int read_at(int fd, char *data, qint64 size, qint64 offset)
{
    return moveAll(::pread, fd, data, size, offset);
}

int write_at(int fd, const char *data, qint64 size, qint64 offset)
{
    return moveAll(::pwrite, fd, data, size, offset);
}

int sync_folder(const QString &folder)
{
    const Descriptor dir(
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.fd() < 0)
        return errno;
    return ::fsync(dir.fd()) == 0 ? 0 : errno;
}

DiskSnapshot snapshot_of(const struct stat &info, quint64 checksum)
{
    return {info.st_size,
            nanoseconds(info.st_mtim),
            nanoseconds(info.st_ctim),
            quint64(info.st_ino),
            quint64(info.st_dev),
            checksum,
            now()};
}

namespace
{

// Opens and reads the file at name, which was seen to be a regular file of a size a weapon file
// may have. Something else may stand there by now: what counts is what was opened, and
// O_NONBLOCK keeps a named pipe slipped in meanwhile from holding the open.
WeaponFileResult readSeenFile(const QByteArray &name, QByteArray &bytes, DiskSnapshot &disk)
{
    bytes.clear();
    struct stat info {
    };
    const Descriptor file(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.fd() < 0)
        return cannotRead(errno);
    if (::fstat(file.fd(), &info) != 0)
        return cannotRead(errno);
    if (WeaponFileResult refused = refusal(info); !refused)
        return refused;
    // Its times after the read, so that a change made while it was read shows as one.
    if (const int error = readAll(file.fd(), info.st_size, bytes, info); error != 0)
        return cannotRead(error);
    if (bytes.size() > kMaxWeaponFileBytes) {
        bytes.clear();
        info.st_size = kMaxWeaponFileBytes + 1;
        return refusal(info);
    }
    disk = snapshot_of(info, bytes_checksum(bytes));
    return {};
}

} // namespace

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
    return readSeenFile(name, bytes, disk);
}

WeaponFileResult read_listed_file(const QString &path, QByteArray &bytes, DiskSnapshot &disk)
{
    return readSeenFile(QFile::encodeName(path), bytes, disk);
}

DiskSnapshot disk_snapshot(const QString &path)
{
    struct stat info {
    };
    const Descriptor file(openRegular(path, info));
    if (file.fd() < 0)
        return {};
    DiskSnapshot disk = snapshot_of(info, 0);
    // The bytes matter only where the times cannot tell a change; a large archive is not read.
    if (!timesTell(disk) && file_checksum(file.fd(), info.st_size, disk.checksum) != 0)
        return {};
    return disk;
}

bool disk_changed(const WeaponOrigin &origin)
{
    const DiskSnapshot &known = origin.disk;
    struct stat info {
    };
    if (::stat(QFile::encodeName(origin.path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return true;
    const DiskSnapshot now = snapshot_of(info, 0);
    if (now.size != known.size || now.modified != known.modified || now.inode != known.inode ||
        now.device != known.device)
        return true;
    if (now.changed == known.changed && timesTell(known))
        return false;
    // Only the status changed (a new link, a mode, or a write with its time put back), or too
    // soon after our own read or write for the times to tell: the bytes decide.
    const Descriptor file(openRegular(origin.path, info));
    quint64 sum = 0;
    return file.fd() < 0 || file_checksum(file.fd(), info.st_size, sum) != 0 ||
           sum != known.checksum;
}
