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

// Reads and writes go by position, straight to the descriptors: Qt's own seeks ask the system
// for the file's size each time, thousands of times over for one archive.
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
    zip_int64_t fail(int code, int system = errno)
    {
        zip_error_set(&m_error, code, system);
        return -1;
    }

    zip_int64_t open();
    zip_int64_t read(char *data, zip_uint64_t length);
    zip_int64_t stat(void *data, zip_uint64_t length);
    zip_int64_t seek(void *data, zip_uint64_t length);
    zip_int64_t beginWrite(qint64 keep);
    zip_int64_t write(const char *data, zip_uint64_t length);
    zip_int64_t seekWrite(void *data, zip_uint64_t length);
    zip_int64_t commitWrite();
    bool copiesLastRead(const char *data, zip_uint64_t length) const;
    bool continuesCopy(const char *data, zip_uint64_t length) const;
    bool matchesOld(qint64 from, const char *data, zip_uint64_t length) const;
    bool copyRange(qint64 from, qint64 count);
    bool writeOut(const char *data, qint64 count);
    bool flush();

    QString m_path;
    zip_error_t m_error;
    std::optional<zip_stat_t> m_stat;

    QFile m_in;
    qint64 m_position = 0;
    // What was read last, from m_bufferStart on; most reads land inside it.
    QByteArray m_buffer;
    qint64 m_bufferStart = 0;
    // Where the last read came from and went to.
    qint64 m_readFrom = 0;
    const char *m_readTo = nullptr;
    qint64 m_readCount = 0;

    std::unique_ptr<QSaveFile> m_out;
    qint64 m_outPosition = 0;
    qint64 m_outSize = 0;
    // What is written but not yet passed on: bytes, or a stretch of the old file written back
    // unchanged. Only one of the two is ever waiting.
    QByteArray m_pending;
    qint64 m_copyFrom = 0;
    qint64 m_copyCount = 0;
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
    if (m_position < m_bufferStart || m_position >= m_bufferStart + m_buffer.size()) {
        m_buffer.resize(qMax(kBlock, qint64(length)));
        const ssize_t got =
            pread(m_in.handle(), m_buffer.data(), size_t(m_buffer.size()), off_t(m_position));
        m_buffer.resize(got < 0 ? 0 : qsizetype(got));
        m_bufferStart = m_position;
        if (got < 0)
            return fail(ZIP_ER_READ);
        if (got == 0)
            return 0;
    }
    const qint64 at = m_position - m_bufferStart;
    const qint64 count = qMin(qint64(length), m_buffer.size() - at);
    std::memcpy(data, m_buffer.constData() + at, size_t(count));
    m_readFrom = m_position;
    m_readTo = data;
    m_readCount = count;
    m_position += count;
    return count;
}

zip_int64_t FileSource::stat(void *data, zip_uint64_t length)
{
    auto *stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &m_error);
    if (!stat)
        return -1;
    // libzip asks again and again; the file does not change in between.
    if (!m_stat) {
        const QFileInfo info(m_path);
        if (!info.exists())
            return fail(ZIP_ER_NOENT, ENOENT);
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
    zip_stat_t known;
    if (stat(&known, sizeof known) < 0)
        return -1;
    const zip_int64_t position = zip_source_seek_compute_offset(zip_uint64_t(m_position),
                                                                known.size, data, length, &m_error);
    if (position < 0)
        return -1;
    m_position = position;
    return 0;
}

// libzip may ask to keep the archive's bytes up to the first entry that changed; they go
// across inside the kernel.
zip_int64_t FileSource::beginWrite(qint64 keep)
{
    m_out = std::make_unique<QSaveFile>(m_path);
    m_pending.clear();
    m_copyCount = 0;
    m_outPosition = 0;
    m_outSize = 0;
    if (!m_out->open(QIODevice::WriteOnly)) {
        m_out.reset();
        return fail(ZIP_ER_TMPOPEN);
    }
    if (keep > 0 && ((!m_in.isOpen() && open() < 0) || !copyRange(0, keep))) {
        m_out.reset();
        return fail(ZIP_ER_WRITE);
    }
    return 0;
}

// libzip copies an unchanged entry by reading it and writing the same buffer back. Bytes that
// match what was just read from the old file are passed on as a stretch of it instead, so that
// they need not cross into this process and out again.
bool FileSource::copiesLastRead(const char *data, zip_uint64_t length) const
{
    return data == m_readTo && qint64(length) == m_readCount &&
           matchesOld(m_readFrom, data, length);
}

// The header libzip writes for an unchanged entry is mostly the one the old file holds right
// there; then the stretch being copied runs on through it.
bool FileSource::continuesCopy(const char *data, zip_uint64_t length) const
{
    return m_copyCount > 0 && matchesOld(m_copyFrom + m_copyCount, data, length);
}

// Whether the old file holds these bytes at from, as far as what was read last can tell.
bool FileSource::matchesOld(qint64 from, const char *data, zip_uint64_t length) const
{
    const qint64 at = from - m_bufferStart;
    return at >= 0 && at + qint64(length) <= m_buffer.size() &&
           std::memcmp(data, m_buffer.constData() + at, size_t(length)) == 0;
}

bool FileSource::copyRange(qint64 from, qint64 count)
{
    loff_t in = from;
    loff_t out = m_outPosition;
    const loff_t end = out + count;
    while (out < end) {
        const ssize_t step =
            copy_file_range(m_in.handle(), &in, m_out->handle(), &out, size_t(end - out), 0);
        if (step <= 0)
            break;
    }
    m_outPosition = out;
    m_outSize = qMax(m_outSize, m_outPosition);
    // Some file systems cannot copy between themselves; then the bytes go the long way.
    QByteArray chunk;
    while (m_outPosition < end) {
        chunk.resize(qMin(kBlock, qint64(end - m_outPosition)));
        const ssize_t got = pread(m_in.handle(), chunk.data(), size_t(chunk.size()), off_t(in));
        if (got <= 0 || !writeOut(chunk.constData(), got))
            return false;
        in += got;
    }
    return true;
}

bool FileSource::writeOut(const char *data, qint64 count)
{
    while (count > 0) {
        const ssize_t step = pwrite(m_out->handle(), data, size_t(count), off_t(m_outPosition));
        if (step <= 0)
            return false;
        data += step;
        count -= step;
        m_outPosition += step;
    }
    m_outSize = qMax(m_outSize, m_outPosition);
    return true;
}

bool FileSource::flush()
{
    if (m_copyCount > 0) {
        const qint64 count = m_copyCount;
        m_copyCount = 0;
        return copyRange(m_copyFrom, count);
    }
    const bool written = writeOut(m_pending.constData(), m_pending.size());
    m_pending.clear();
    return written;
}

zip_int64_t FileSource::write(const char *data, zip_uint64_t length)
{
    if (continuesCopy(data, length)) {
        m_copyCount += qint64(length);
        return zip_int64_t(length);
    }
    if (copiesLastRead(data, length)) {
        if (!flush())
            return fail(ZIP_ER_WRITE);
        m_copyFrom = m_readFrom;
        m_copyCount = qint64(length);
        return zip_int64_t(length);
    }
    if (m_copyCount > 0 && !flush())
        return fail(ZIP_ER_WRITE);
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
        zip_uint64_t(m_outPosition), zip_uint64_t(m_outSize), data, length, &m_error);
    if (position < 0)
        return -1;
    m_outPosition = position;
    return 0;
}

zip_int64_t FileSource::commitWrite()
{
    if (!flush()) {
        m_out.reset();
        return fail(ZIP_ER_WRITE);
    }
    // The descriptor was written past Qt's back; the file's end is where the archive ends.
    const bool done = m_out->resize(m_outSize) && m_out->commit();
    const int system = errno;
    m_out.reset();
    m_in.close();
    m_stat.reset();
    return done ? 0 : fail(ZIP_ER_WRITE, system);
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
        return beginWrite(0);
    case ZIP_SOURCE_BEGIN_WRITE_CLONING:
        return beginWrite(qint64(length));
    case ZIP_SOURCE_WRITE:
        return write(static_cast<const char *>(data), length);
    case ZIP_SOURCE_SEEK_WRITE:
        return seekWrite(data, length);
    case ZIP_SOURCE_TELL_WRITE:
        return m_outPosition + m_pending.size() + m_copyCount;
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
        return fail(ZIP_ER_OPNOTSUPP, 0);
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
        static_cast<void>(source.release()); // libzip owns it now, and frees it with the source
    return created;
}
