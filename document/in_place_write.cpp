#include "document/in_place_write.h"

#include "document/disk_file.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace
{

std::atomic<InPlaceProbe> g_probe = nullptr;

const QString kBackupSuffix = QStringLiteral(".armsmith-backup");

WeaponFileResult cannotWrite(const QString &why)
{
    return {WeaponFileStatus::CannotWrite, 0,
            QStringLiteral("The file cannot be written: %1").arg(why)};
}

QString shown(const QString &path) { return QDir::toNativeSeparators(path); }

// Copies size bytes from one descriptor to the other, a piece at a time.
int copyBytes(int from, int to, qint64 size)
{
    quint64 sum = 0;
    return SaveSource(from, size).writeTo(to, sum);
}

// The new bytes are written, cut to length, on the disk and read back the same.
int overwrite(int fd, const SaveSource &source, quint64 &sum)
{
    const auto probe = [] { return in_place_probe(InPlaceStep::WritingNewBytes); };
    if (const int error = source.writeTo(fd, sum, probe); error != 0)
        return error;
    if (::ftruncate(fd, source.size()) != 0 || ::fsync(fd) != 0)
        return errno;
    return source.compareWith(fd);
}

int restore(int fd, int backup, qint64 size)
{
    if (const int error = in_place_probe(InPlaceStep::PuttingBackOldBytes); error != 0)
        return error;
    if (const int error = copyBytes(backup, fd, size); error != 0)
        return error;
    return ::ftruncate(fd, size) == 0 && ::fsync(fd) == 0 ? 0 : errno;
}

// A backup under its final name, with a descriptor to read it back from.
struct Backup {
    QString path;
    std::unique_ptr<Descriptor> file;
};

// One of these is taken only after the user has been asked about it on Open.
QString earlierBackup(const QString &backup)
{
    return QStringLiteral("a backup from an earlier save that did not finish is in %1. Open the "
                          "file again to restore it or to let it go.")
        .arg(shown(backup));
}

QString privateTemporaryFolder()
{
    return QStringLiteral("%1/armsmith-%2").arg(QDir::tempPath()).arg(::geteuid());
}

// A folder that others may write could have our backup swapped for bytes of their own, which a
// restore would then write over the file; the temporary folder's share of it must be ours alone.
bool safeFolder(const QString &folder)
{
    if (folder != privateTemporaryFolder())
        return true;
    struct stat info {
    };
    const QByteArray name = QFile::encodeName(folder);
    return ::chmod(name.constData(), 0700) == 0 && ::lstat(name.constData(), &info) == 0 &&
           S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 07777) == 0700;
}

// Fills a new, private file in folder with the old bytes and puts it on the disk; only then
// does it take the backup's name, so that a backup found under that name is always whole.
std::optional<Backup> fillBackup(const QString &name, int fd, qint64 size, QString &why)
{
    const QString folder = QFileInfo(name).absolutePath();
    if (!QDir().mkpath(folder) || !safeFolder(folder))
        return std::nullopt;
    QTemporaryFile file(QDir(folder).filePath(QStringLiteral(".armsmith-backup-XXXXXX")));
    if (!file.open())
        return std::nullopt;
    int error = copyBytes(fd, int(file.handle()), size);
    if (error == 0 && ::fsync(file.handle()) != 0)
        error = errno;
    auto kept = std::make_unique<Descriptor>(::fcntl(file.handle(), F_DUPFD_CLOEXEC, 0));
    if (error == 0 && kept->fd() < 0)
        error = errno;
    if (error != 0) {
        why = QStringLiteral("no backup of its old bytes could be made: %1")
                  .arg(system_error_text(error));
        return std::nullopt;
    }
    if (!file.rename(name))
        return std::nullopt;
    file.setAutoRemove(false);
    if (const int synced = sync_folder(folder); synced != 0) {
        ::unlink(QFile::encodeName(name).constData());
        why = QStringLiteral("its backup could not be put on the disk: %1")
                  .arg(system_error_text(synced));
        return std::nullopt;
    }
    return Backup{name, std::move(kept)};
}

std::optional<Backup> backUp(const QString &path, int fd, qint64 size, QString &why)
{
    for (const QString &name : save_backup_locations(path)) {
        if (QFileInfo(name).exists()) {
            why = earlierBackup(name);
            return std::nullopt;
        }
        if (std::optional<Backup> backup = fillBackup(name, fd, size, why);
            backup || !why.isEmpty())
            return backup;
    }
    why = QStringLiteral("no backup of its old bytes could be made.");
    return std::nullopt;
}

void removeBackup(const QString &name)
{
    if (::unlink(QFile::encodeName(name).constData()) == 0)
        sync_folder(QFileInfo(name).absolutePath());
}

// Writes one piece of the new content at at, and carries the checksum on over it; 0 or errno.
// The disk starts on each piece while the rest is made, so that the sync before the rename has
// little left to wait for; a system that cannot does it all then.
int writePiece(int fd, QByteArrayView piece, qint64 at, quint64 &sum)
{
    if (const int error = write_at(fd, piece.data(), piece.size(), at); error != 0)
        return error;
#ifdef SYNC_FILE_RANGE_WRITE
    ::sync_file_range(fd, at, piece.size(), SYNC_FILE_RANGE_WRITE);
#endif
    sum = piece_checksum(piece, sum);
    return 0;
}

// Gathers what a writer produces into whole pieces, so that the checksum comes out the same as
// for bytes read back from the file, and writes each piece as it fills.
class PieceSink : public ContentSink
{
public:
    explicit PieceSink(int fd) : m_fd(fd), m_piece(kFilePiece, Qt::Uninitialized) {}

    int write(QByteArrayView bytes) override
    {
        while (!bytes.isEmpty()) {
            // A whole piece at a piece's start goes out without a copy.
            if (m_filled == 0 && bytes.size() >= kFilePiece) {
                if (const int error = put(bytes.first(kFilePiece)); error != 0)
                    return error;
                bytes = bytes.sliced(kFilePiece);
                continue;
            }
            const qsizetype n = std::min(bytes.size(), kFilePiece - m_filled);
            std::memcpy(m_piece.data() + m_filled, bytes.data(), size_t(n));
            m_filled += n;
            bytes = bytes.sliced(n);
            if (m_filled == kFilePiece) {
                if (const int error = finish(); error != 0)
                    return error;
            }
        }
        return 0;
    }

    // Writes what is left of the last piece; 0 or errno.
    int finish()
    {
        const qsizetype n = std::exchange(m_filled, 0);
        return n == 0 ? 0 : put(QByteArrayView(m_piece).first(n));
    }
    quint64 sum() const { return m_sum; }

private:
    int put(QByteArrayView piece)
    {
        if (const int error = writePiece(m_fd, piece, m_at, m_sum); error != 0)
            return error;
        m_at += piece.size();
        return 0;
    }

    int m_fd;
    QByteArray m_piece;
    qsizetype m_filled = 0;
    qint64 m_at = 0;
    quint64 m_sum = 0;
};

} // namespace

int SaveSource::writeTo(int fd, quint64 &sum, const std::function<int()> &afterPiece) const
{
    sum = 0;
    if (m_writer) {
        PieceSink sink(fd);
        int error = (*m_writer)(sink);
        if (error == 0)
            error = sink.finish();
        sum = sink.sum();
        return error;
    }
    QByteArray buffer;
    for (qint64 at = 0; at < m_size; at += kFilePiece) {
        const qint64 n = std::min<qint64>(kFilePiece, m_size - at);
        int error = 0;
        const char *data = piece(at, n, buffer, error);
        if (!data)
            return error;
        if (error = writePiece(fd, QByteArrayView(data, n), at, sum); error != 0)
            return error;
        if (error = afterPiece ? afterPiece() : 0; error != 0)
            return error;
    }
    return 0;
}

int SaveSource::compareWith(int fd) const
{
    QByteArray buffer, back;
    for (qint64 at = 0; at < m_size; at += kFilePiece) {
        const qint64 n = std::min<qint64>(kFilePiece, m_size - at);
        int error = 0;
        const char *data = piece(at, n, buffer, error);
        if (!data)
            return error;
        back.resize(n);
        if (error = read_at(fd, back.data(), n, at); error != 0)
            return error;
        if (QByteArrayView(data, n) != back)
            return EIO;
    }
    return 0;
}

const char *SaveSource::piece(qint64 offset, qint64 n, QByteArray &buffer, int &error) const
{
    if (m_fd < 0)
        return m_bytes.constData() + offset;
    buffer.resize(n);
    error = read_at(m_fd, buffer.data(), n, offset);
    return error == 0 ? buffer.constData() : nullptr;
}

QStringList save_backup_locations(const QString &path)
{
    const QFileInfo info(path);
    QString full = info.canonicalFilePath();
    if (full.isEmpty())
        full = QDir::cleanPath(info.absoluteFilePath());
    const QByteArray key =
        QCryptographicHash::hash(QFile::encodeName(full), QCryptographicHash::Sha256).toHex();
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    const QString aside =
        QStringLiteral("/%1-%2%3")
            .arg(QString::fromLatin1(key.left(16)), QFileInfo(full).fileName(), kBackupSuffix);
    QStringList names{full + kBackupSuffix};
    if (!cache.isEmpty())
        names.append(cache + QStringLiteral("/armsmith/unfinished-saves") + aside);
    // For a user whose cache folder cannot be written, a folder of its own in the temporary one.
    names.append(privateTemporaryFolder() + aside);
    return names;
}

bool is_save_backup_name(const QString &fileName) { return fileName.endsWith(kBackupSuffix); }

WeaponFileResult write_in_place(const QString &path, const SaveSource &source,
                                const struct stat &old, bool backUp, DiskSnapshot *written)
{
    const Descriptor file(
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.fd() < 0)
        return cannotWrite(system_error_text(errno));
    struct stat opened {
    };
    if (::fstat(file.fd(), &opened) != 0 || !S_ISREG(opened.st_mode) ||
        opened.st_dev != old.st_dev || opened.st_ino != old.st_ino)
        return cannotWrite(QStringLiteral("another program replaced it while it was saved."));
    QString why;
    std::optional<Backup> backup;
    if (backUp && !(backup = ::backUp(path, file.fd(), opened.st_size, why)))
        return cannotWrite(why);
    int error = in_place_probe(InPlaceStep::BackupOnDisk);
    quint64 sum = 0;
    if (error == 0 && (error = overwrite(file.fd(), source, sum)) == 0) {
        if (written && ::fstat(file.fd(), &opened) == 0)
            *written = snapshot_of(opened, sum);
        if (backup)
            removeBackup(backup->path);
        return {};
    }
    why = system_error_text(error);
    if (!backup)
        return cannotWrite(why);
    if (restore(file.fd(), backup->file->fd(), opened.st_size) != 0) {
        // Left where it is, for the user to recover the file from.
        return cannotWrite(
            QStringLiteral("%1. Its old bytes could not be put back; they are in %2.")
                .arg(why, shown(backup->path)));
    }
    removeBackup(backup->path);
    return cannotWrite(why);
}

int in_place_probe(InPlaceStep step)
{
    const InPlaceProbe probe = g_probe.load();
    return probe ? probe(step) : 0;
}

void set_in_place_probe(InPlaceProbe probe) { g_probe.store(probe); }
