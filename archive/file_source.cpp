#include "archive/file_source.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

#include <unistd.h>

namespace
{

constexpr qint64 kBlock = 1 << 20;

class FileSource
{
public:
    explicit FileSource(const QString &path) : m_path(path), m_in(path)
    {
        zip_error_init(&m_error);
    }
    ~FileSource() { zip_error_fini(&m_error); }
    FileSource(const FileSource &) = delete;
    FileSource &operator=(const FileSource &) = delete;

    zip_int64_t command(void *data, zip_uint64_t length, zip_source_cmd_t command);

private:
    zip_int64_t fail(int code)
    {
        zip_error_set(&m_error, code, errno);
        return -1;
    }

    zip_int64_t open();
    zip_int64_t read(char *data, zip_uint64_t length);
    zip_int64_t stat(void *data, zip_uint64_t length);
    zip_int64_t seek(void *data, zip_uint64_t length);
    zip_int64_t beginWrite();
    zip_int64_t beginWriteCloning(qint64 keep);
    bool copyUnchanged(qint64 count);
    zip_int64_t write(const char *data, zip_uint64_t length);
    zip_int64_t seekWrite(void *data, zip_uint64_t length);
    zip_int64_t commitWrite();
    bool flush();

    QString m_path;
    zip_error_t m_error;
    QFile m_in;
    qint64 m_position = 0;
    // What was read last, from m_bufferStart on; most reads land inside it.
    QByteArray m_buffer;
    qint64 m_bufferStart = 0;
    std::unique_ptr<QSaveFile> m_out;
    QByteArray m_pending;
    std::optional<zip_stat_t> m_stat;
};

zip_int64_t FileSource::open()
{
    if (!m_in.isOpen() && !m_in.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return fail(ZIP_ER_OPEN);
    m_position = 0;
    m_buffer.clear();
    return 0;
}

zip_int64_t FileSource::read(char *data, zip_uint64_t length)
{
    const qint64 offset = m_position - m_bufferStart;
    if (offset < 0 || offset >= m_buffer.size()) {
        if (!m_in.seek(m_position))
            return fail(ZIP_ER_SEEK);
        m_buffer = m_in.read(qMax(kBlock, qint64(length)));
        m_bufferStart = m_position;
        if (m_in.error() != QFileDevice::NoError)
            return fail(ZIP_ER_READ);
        if (m_buffer.isEmpty())
            return 0;
    }
    const qint64 at = m_position - m_bufferStart;
    const qint64 count = qMin(qint64(length), m_buffer.size() - at);
    std::memcpy(data, m_buffer.constData() + at, size_t(count));
    m_position += count;
    return count;
}

zip_int64_t FileSource::stat(void *data, zip_uint64_t length)
{
    auto *stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &m_error);
    if (!stat)
        return -1;
    // libzip asks once for every entry it looks at; the file does not change in between.
    if (!m_stat) {
        const QFileInfo info(m_path);
        if (!info.exists()) {
            errno = ENOENT;
            return fail(ZIP_ER_NOENT);
        }
        zip_stat_t known;
        zip_stat_init(&known);
        known.size = zip_uint64_t(info.size());
        known.mtime = time_t(info.lastModified().toSecsSinceEpoch());
        known.valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
        m_stat = known;
    }
    *stat = *m_stat;
    return sizeof(zip_stat_t);
}

zip_int64_t FileSource::seek(void *data, zip_uint64_t length)
{
    const zip_int64_t position = zip_source_seek_compute_offset(
        zip_uint64_t(m_position), zip_uint64_t(m_in.size()), data, length, &m_error);
    if (position < 0)
        return -1;
    m_position = position;
    return 0;
}

zip_int64_t FileSource::beginWrite()
{
    // Unbuffered: our own buffer stands in front, and QSaveFile::commit() would not report a
    // failure to flush one of its own.
    m_out = std::make_unique<QSaveFile>(m_path);
    m_pending.clear();
    if (!m_out->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        m_out.reset();
        return fail(ZIP_ER_TMPOPEN);
    }
    return 0;
}

// libzip asks to keep the archive's bytes up to the first entry that changed. They go across
// inside the kernel, which is what makes a rewrite cost little more than a copy of the file.
zip_int64_t FileSource::beginWriteCloning(qint64 keep)
{
    if (beginWrite() < 0)
        return -1;
    if (!m_in.isOpen() && !m_in.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return fail(ZIP_ER_OPEN);
    if (!copyUnchanged(keep) || !m_out->seek(keep)) {
        m_out.reset();
        return fail(ZIP_ER_WRITE);
    }
    return 0;
}

bool FileSource::copyUnchanged(qint64 count)
{
    loff_t from = 0;
    loff_t to = 0;
    while (to < count) {
        const ssize_t step =
            copy_file_range(m_in.handle(), &from, m_out->handle(), &to, size_t(count - to), 0);
        if (step <= 0)
            break;
    }
    if (to == count)
        return true;
    // Some file systems cannot copy between themselves; then the bytes go the long way.
    if (!m_in.seek(from) || !m_out->seek(to))
        return false;
    while (to < count) {
        m_pending = m_in.read(qMin(kBlock, count - to));
        to += m_pending.size();
        if (m_pending.isEmpty() || !flush())
            return false;
    }
    return true;
}

bool FileSource::flush()
{
    qint64 written = 0;
    while (written < m_pending.size()) {
        const qint64 step =
            m_out->write(m_pending.constData() + written, m_pending.size() - written);
        if (step <= 0)
            return false;
        written += step;
    }
    m_pending.clear();
    return true;
}

zip_int64_t FileSource::write(const char *data, zip_uint64_t length)
{
    m_pending.append(data, qsizetype(length));
    if (m_pending.size() >= kBlock && !flush())
        return fail(ZIP_ER_WRITE);
    return zip_int64_t(length);
}

zip_int64_t FileSource::seekWrite(void *data, zip_uint64_t length)
{
    if (!flush())
        return fail(ZIP_ER_WRITE);
    const zip_int64_t position = zip_source_seek_compute_offset(
        zip_uint64_t(m_out->pos()), zip_uint64_t(m_out->size()), data, length, &m_error);
    if (position < 0)
        return -1;
    if (!m_out->seek(position))
        return fail(ZIP_ER_SEEK);
    return 0;
}

zip_int64_t FileSource::commitWrite()
{
    const bool done = flush() && m_out->commit();
    m_out.reset();
    m_in.close();
    m_stat.reset();
    return done ? 0 : fail(ZIP_ER_WRITE);
}

zip_int64_t FileSource::command(void *data, zip_uint64_t length, zip_source_cmd_t command)
{
    switch (command) {
    case ZIP_SOURCE_OPEN:
        return open();
    case ZIP_SOURCE_READ:
        return read(static_cast<char *>(data), length);
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_STAT:
        return stat(data, length);
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&m_error, data, length);
    case ZIP_SOURCE_SEEK:
        return seek(data, length);
    case ZIP_SOURCE_TELL:
        return m_position;
    case ZIP_SOURCE_BEGIN_WRITE:
        return beginWrite();
    case ZIP_SOURCE_BEGIN_WRITE_CLONING:
        return beginWriteCloning(qint64(length));
    case ZIP_SOURCE_WRITE:
        return write(static_cast<const char *>(data), length);
    case ZIP_SOURCE_SEEK_WRITE:
        return seekWrite(data, length);
    case ZIP_SOURCE_TELL_WRITE:
        return m_out->pos() + m_pending.size();
    case ZIP_SOURCE_COMMIT_WRITE:
        return commitWrite();
    case ZIP_SOURCE_ROLLBACK_WRITE:
        m_out.reset();
        return 0;
    case ZIP_SOURCE_REMOVE:
        return QFile::remove(m_path) ? 0 : fail(ZIP_ER_REMOVE);
    case ZIP_SOURCE_SUPPORTS:
        return ZIP_SOURCE_SUPPORTS_WRITABLE |
               ZIP_SOURCE_MAKE_COMMAND_BITMASK(ZIP_SOURCE_BEGIN_WRITE_CLONING);
    case ZIP_SOURCE_FREE:
        delete this;
        return 0;
    default:
        zip_error_set(&m_error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

zip_int64_t callback(void *source, void *data, zip_uint64_t length, zip_source_cmd_t command)
{
    return static_cast<FileSource *>(source)->command(data, length, command);
}

} // namespace

zip_source_t *file_source_create(const QString &path, zip_error_t *error)
{
    auto source = std::make_unique<FileSource>(path);
    zip_source_t *created = zip_source_function_create(callback, source.get(), error);
    if (created)
        source.release();
    return created;
}
