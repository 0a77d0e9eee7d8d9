#include "archive/zip_archive.h"

#include "archive/zip_layout.h"

#include <zlib.h>

#include <cstring>

namespace
{

ArchiveResult failure(ArchiveStatus status, const QString &reason) { return {status, reason}; }

QString quoted(const ArchiveEntry &entry) { return QLatin1Char('"') + entry.name + '"'; }

ArchiveResult notAsDeclared(const ArchiveEntry &entry)
{
    return failure(ArchiveStatus::Damaged,
                   QStringLiteral("The entry %1 is damaged: it does not hold the %2 bytes it "
                                  "declares.")
                       .arg(quoted(entry))
                       .arg(entry.size));
}

constexpr qint64 kChunk = 64 * 1024;

// Unpacks a raw deflate stream of packed bytes from offset on into out, at most out's size.
// Gives how many bytes came out, or -1 when the stream is broken.
qint64 inflateInto(const ZipBytes &bytes, qint64 offset, qint64 packed, QByteArray &out)
{
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return -1;
    QByteArray in(qsizetype(std::min(packed, kChunk)), Qt::Uninitialized);
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    int status = Z_OK;
    while (status == Z_OK && stream.avail_out > 0) {
        if (stream.avail_in == 0) {
            const qint64 count = std::min<qint64>(in.size(), packed);
            if (count == 0 || !bytes.readAt(offset, in.data(), count))
                break;
            offset += count;
            packed -= count;
            stream.next_in = reinterpret_cast<Bytef *>(in.data());
            stream.avail_in = uInt(count);
        }
        status = inflate(&stream, Z_NO_FLUSH);
    }
    const qint64 got = qint64(stream.total_out);
    inflateEnd(&stream);
    return status == Z_OK || status == Z_STREAM_END || status == Z_BUF_ERROR ? got : -1;
}

} // namespace

ArchiveReader::ArchiveReader() = default;
ArchiveReader::~ArchiveReader() = default;

ArchiveMemo ArchiveReader::takeMemo()
{
    ArchiveMemo memo;
    if (!m_layout)
        return memo;
    const qint64 start = qint64(m_layout->centralOffset);
    memo.m_tableOfContents.resize(m_bytes->size() - start);
    if (m_bytes->readAt(start, memo.m_tableOfContents.data(), memo.m_tableOfContents.size()))
        memo.m_layout = std::move(m_layout);
    else
        memo.m_tableOfContents.clear();
    m_layout.reset();
    m_bytes.reset();
    m_entries.clear();
    return memo;
}

ArchiveResult ArchiveReader::adopt(std::unique_ptr<ZipBytes> bytes)
{
    auto layout = std::make_unique<ZipLayout>();
    ArchiveResult result = read_zip_layout(*bytes, *layout);
    if (result) {
        m_bytes = std::move(bytes);
        m_layout = std::move(layout);
        m_entries = m_layout->entries;
    }
    return result;
}

ArchiveResult ArchiveReader::open(const QString &archive)
{
    m_bytes.reset();
    m_layout.reset();
    m_entries.clear();
    ArchiveResult result;
    std::unique_ptr<ZipBytes> bytes = open_zip_file(archive, result);
    return bytes ? adopt(std::move(bytes)) : result;
}

ArchiveResult ArchiveReader::openBytes(const QByteArray &bytes)
{
    m_bytes.reset();
    m_layout.reset();
    m_entries.clear();
    return adopt(zip_bytes_in_memory(bytes));
}

const ArchiveEntry *ArchiveReader::find(const QString &name) const
{
    for (const ArchiveEntry &entry : m_entries) {
        if (entry.nameReadable && entry.name == name)
            return &entry;
    }
    return nullptr;
}

ArchiveResult ArchiveReader::readable(const ArchiveEntry &entry) const
{
    if (!m_layout)
        return failure(ArchiveStatus::CannotRead, QStringLiteral("No archive is open."));
    if (!entry.nameReadable) {
        return failure(ArchiveStatus::CannotRead,
                       QStringLiteral("The entry %1 cannot be opened: its name is not valid "
                                      "UTF-8, though the archive says it is.")
                           .arg(quoted(entry)));
    }
    if (entry.encrypted) {
        return failure(ArchiveStatus::Encrypted,
                       QStringLiteral("The entry %1 is encrypted, and Armsmith cannot decrypt it.")
                           .arg(quoted(entry)));
    }
    if (entry.method != 0 && entry.method != 8) {
        return failure(ArchiveStatus::UnsupportedMethod,
                       QStringLiteral("The entry %1 is packed with %2 (method %3), which Armsmith "
                                      "cannot unpack.")
                           .arg(quoted(entry), method_name(entry.method))
                           .arg(entry.method));
    }
    return {};
}

ArchiveResult ArchiveReader::readStart(const ArchiveEntry &entry, qint64 maxBytes,
                                       QByteArray &bytes)
{
    bytes.clear();
    if (ArchiveResult result = readable(entry); !result)
        return result;
    return readInto(entry, qMin(entry.size, qMax<qint64>(maxBytes, 0)), false, bytes);
}

ArchiveResult ArchiveReader::read(const ArchiveEntry &entry, qint64 maxBytes, QByteArray &bytes)
{
    bytes.clear();
    if (ArchiveResult result = readable(entry); !result)
        return result;
    if (entry.size > maxBytes) {
        return failure(ArchiveStatus::TooLarge,
                       QStringLiteral("The entry %1 unpacks to %2 bytes, more than the %3 a "
                                      "weapon file may hold.")
                           .arg(quoted(entry))
                           .arg(entry.size)
                           .arg(maxBytes));
    }
    return readInto(entry, entry.size, true, bytes);
}

// Reads count bytes. Reading the whole entry reads one byte past its declared size as well: an
// entry that holds more than it declared is a bomb that must not be unpacked any further.
ArchiveResult ArchiveReader::readInto(const ArchiveEntry &entry, qint64 count, bool whole,
                                      QByteArray &bytes)
{
    const ZipRecord &record = m_layout->records[qsizetype(entry.index)];
    bytes.resize(qsizetype(whole ? count + 1 : count));
    const qint64 packed = qint64(record.compressedSize);
    qint64 got = 0;
    if (entry.method == 0) {
        got = std::min<qint64>(bytes.size(), packed);
        if (!m_bytes->readAt(qint64(record.dataOffset), bytes.data(), got))
            got = -1;
    } else {
        got = inflateInto(*m_bytes, qint64(record.dataOffset), packed, bytes);
    }
    if (got < 0) {
        bytes.clear();
        return failure(ArchiveStatus::Damaged,
                       QStringLiteral("The entry %1 is damaged: its packed bytes cannot be "
                                      "unpacked.")
                           .arg(quoted(entry)));
    }
    if (got != count) {
        bytes.clear();
        return notAsDeclared(entry);
    }
    bytes.resize(qsizetype(got));
    if (whole &&
        crc32(0, reinterpret_cast<const Bytef *>(bytes.constData()), uInt(got)) != record.crc) {
        bytes.clear();
        return failure(ArchiveStatus::Damaged,
                       QStringLiteral("The entry %1 is damaged: its contents do not match their "
                                      "checksum.")
                           .arg(quoted(entry)));
    }
    return {};
}

ArchiveResult list_entries(const QString &archive, QList<ArchiveEntry> &entries)
{
    ArchiveReader reader;
    ArchiveResult result = reader.open(archive);
    entries = reader.entries();
    return result;
}

ArchiveResult read_entry(const QString &archive, const QString &name, qint64 maxBytes,
                         QByteArray &bytes)
{
    bytes.clear();
    ArchiveReader reader;
    if (ArchiveResult result = reader.open(archive); !result)
        return result;
    const ArchiveEntry *found = reader.find(name);
    if (!found) {
        return failure(ArchiveStatus::NoSuchEntry,
                       QStringLiteral("The archive holds no entry named \"%1\".").arg(name));
    }
    return reader.read(*found, maxBytes, bytes);
}
