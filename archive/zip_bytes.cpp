#include "archive/zip_bytes.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

class FileBytes : public ZipBytes
{
public:
    FileBytes(int fd, qint64 size) : m_fd(fd), m_size(size) {}
    ~FileBytes() override { ::close(m_fd); }
    FileBytes(const FileBytes &) = delete;
    FileBytes &operator=(const FileBytes &) = delete;

    qint64 size() const override { return m_size; }
    bool readAt(qint64 offset, char *data, qint64 count) const override
    {
        while (count > 0) {
            const ssize_t step = ::pread(m_fd, data, size_t(count), off_t(offset));
            if (step < 0 && errno == EINTR)
                continue;
            if (step <= 0)
                return false;
            data += step;
            offset += step;
            count -= step;
        }
        return true;
    }

private:
    int m_fd;
    qint64 m_size;
};

class MemoryBytes : public ZipBytes
{
public:
    explicit MemoryBytes(const QByteArray &bytes) : m_bytes(bytes) {}
    qint64 size() const override { return m_bytes.size(); }
    bool readAt(qint64 offset, char *data, qint64 count) const override
    {
        if (offset < 0 || count < 0 || offset > m_bytes.size() || count > m_bytes.size() - offset)
            return false;
        std::memcpy(data, m_bytes.constData() + offset, size_t(count));
        return true;
    }

private:
    QByteArray m_bytes;
};

QString fileKind(mode_t mode)
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

} // namespace

std::unique_ptr<ZipBytes> open_zip_file(const QString &path, ArchiveResult &result)
{
    // O_NONBLOCK: a named pipe put at the path must not hold the open.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat info {
    };
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        result = {ArchiveStatus::CannotRead,
                  QStringLiteral("The archive cannot be read: %1")
                      .arg(QString::fromLocal8Bit(std::strerror(error)))};
        return nullptr;
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        result = {ArchiveStatus::NotZip,
                  QStringLiteral("It is %1, not an archive.").arg(fileKind(info.st_mode))};
        return nullptr;
    }
    result = {};
    return std::make_unique<FileBytes>(fd, qint64(info.st_size));
}

std::unique_ptr<ZipBytes> zip_bytes_in_memory(const QByteArray &bytes)
{
    return std::make_unique<MemoryBytes>(bytes);
}
