#include "archive/zip_layout.h"

#include "archive/zip_names.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace
{

constexpr qint64 kEndSize = 22;
constexpr qint64 kCentralSize = 46;
constexpr qint64 kLocalSize = 30;
constexpr qint64 kZip64EndSize = 56;
constexpr qint64 kLocatorSize = 20;
constexpr quint16 kUtf8Flag = 0x0800;

ArchiveResult damaged(const QString &why)
{
    return {ArchiveStatus::Damaged, QStringLiteral("The archive is damaged: %1").arg(why)};
}

QByteArray readBlock(const ZipBytes &bytes, qint64 offset, qint64 count)
{
    QByteArray block(qsizetype(count), Qt::Uninitialized);
    return bytes.readAt(offset, block.data(), count) ? block : QByteArray();
}

// The end record is the last thing in the file, but for a comment of up to 64 KiB after it.
// The last signature whose comment ends the file wins; failing that, the last one at all.
qint64 findEnd(const QByteArray &tail)
{
    qint64 fallback = -1;
    for (qint64 at = tail.size() - kEndSize; at >= 0; --at) {
        if (std::memcmp(tail.constData() + at, "PK\x05\x06", 4) != 0)
            continue;
        const qint64 commentEnd = at + kEndSize + get16(tail.constData() + at + 20);
        if (commentEnd == tail.size())
            return at;
        if (fallback < 0 && commentEnd <= tail.size())
            fallback = at;
    }
    return fallback;
}

ArchiveResult notZip(const ZipBytes &bytes)
{
    char start[4] = {};
    if (bytes.size() >= 4 && bytes.readAt(0, start, 4) && std::memcmp(start, "PK\x03\x04", 4) == 0)
        return {ArchiveStatus::Damaged,
                QStringLiteral("The archive is cut short: its table of contents is missing.")};
    return {ArchiveStatus::NotZip, QStringLiteral("The file is not a zip archive.")};
}

struct EndRecord {
    quint64 count = 0;
    quint64 centralSize = 0;
    quint64 centralOffset = 0;
};

ArchiveResult readZip64End(const ZipBytes &bytes, ZipLayout &layout, EndRecord &end)
{
    layout.zip64LocatorAt = layout.endAt - kLocatorSize;
    const QByteArray locator = readBlock(bytes, layout.zip64LocatorAt, kLocatorSize);
    if (locator.isEmpty() || !locator.startsWith("PK\x06\x07"))
        return damaged(QStringLiteral("its large-archive record is missing."));
    const quint64 at = get64(locator.constData() + 8);
    const QByteArray record = at < quint64(layout.zip64LocatorAt)
                                  ? readBlock(bytes, qint64(at), kZip64EndSize)
                                  : QByteArray();
    if (record.isEmpty() || !record.startsWith("PK\x06\x06"))
        return damaged(QStringLiteral("its large-archive record is missing."));
    layout.zip64EndAt = qint64(at);
    end = {get64(record.constData() + 32), get64(record.constData() + 40),
           get64(record.constData() + 48)};
    return {};
}

ArchiveResult readEnd(const ZipBytes &bytes, ZipLayout &layout, EndRecord &end)
{
    if (bytes.size() == 0)
        return {ArchiveStatus::NotZip, QStringLiteral("The file is empty.")};
    const qint64 tailStart = std::max<qint64>(0, bytes.size() - kEndSize - 0xFFFF);
    const QByteArray tail = readBlock(bytes, tailStart, bytes.size() - tailStart);
    const qint64 at = findEnd(tail);
    if (at < 0)
        return notZip(bytes);
    layout.endAt = tailStart + at;
    const char *record = tail.constData() + at;
    if (get16(record + 4) != 0 || get16(record + 6) != 0)
        return {ArchiveStatus::CannotRead,
                QStringLiteral("The archive is split across several files; only a whole "
                               "archive in one file can be opened.")};
    end = {get16(record + 10), get32(record + 12), get32(record + 16)};
    if (end.count == 0xFFFF || end.centralSize == 0xFFFFFFFF || end.centralOffset == 0xFFFFFFFF)
        return readZip64End(bytes, layout, end);
    return {};
}

// Sizes and offset too large for their central fields are in the zip64 extra field, in this
// order, each only when its own field says so.
bool readZip64Extra(ZipRecord &record, const char *extra, qsizetype length, qsizetype extraAt)
{
    for (qsizetype at = 0; at + 4 <= length;) {
        const quint16 id = get16(extra + at);
        const quint16 size = get16(extra + at + 2);
        if (at + 4 + size > length)
            return false;
        if (id == 0x0001) {
            qsizetype field = at + 4;
            const auto take = [&](quint64 &value) {
                if (value != 0xFFFFFFFF)
                    return true;
                if (field + 8 > at + 4 + size)
                    return false;
                value = get64(extra + field);
                field += 8;
                return true;
            };
            if (!take(record.size) || !take(record.compressedSize))
                return false;
            if (record.localOffset == 0xFFFFFFFF)
                record.zip64OffsetAt = extraAt + field;
            return take(record.localOffset);
        }
        at += 4 + size;
    }
    return record.size != 0xFFFFFFFF && record.compressedSize != 0xFFFFFFFF &&
           record.localOffset != 0xFFFFFFFF;
}

// One central record from at on; its length, or 0 when it is not whole.
qsizetype readRecord(const QByteArray &central, qsizetype at, ZipRecord &record,
                     QByteArrayView &name)
{
    const char *p = central.constData() + at;
    if (central.size() - at < kCentralSize || std::memcmp(p, "PK\x01\x02", 4) != 0)
        return 0;
    const qsizetype nameLength = get16(p + 28);
    const qsizetype extraLength = get16(p + 30);
    const qsizetype length = kCentralSize + nameLength + extraLength + get16(p + 32);
    if (central.size() - at < length)
        return 0;
    record.centralAt = at;
    record.centralSize = length;
    record.flags = get16(p + 8);
    record.method = get16(p + 10);
    record.crc = get32(p + 16);
    record.compressedSize = get32(p + 20);
    record.size = get32(p + 24);
    record.localOffset = get32(p + 42);
    record.offsetAt = 42;
    name = QByteArrayView(p + kCentralSize, nameLength);
    if (!readZip64Extra(record, p + kCentralSize + nameLength, extraLength,
                        kCentralSize + nameLength))
        return 0;
    return length;
}

ArchiveEntry describe(const ZipRecord &record, QByteArrayView rawName, qsizetype index)
{
    ArchiveEntry entry;
    entry.nameReadable = decode_entry_name(rawName, record.flags & kUtf8Flag, entry.name);
    entry.index = quint64(index);
    entry.size = qint64(std::min<quint64>(record.size, INT64_MAX));
    entry.compressedSize = qint64(std::min<quint64>(record.compressedSize, INT64_MAX));
    entry.method = record.method;
    entry.encrypted = record.flags & 0x0001;
    entry.unsafeName = is_unsafe_entry_name(entry.name);
    return entry;
}

ArchiveResult readCentral(const ZipBytes &bytes, const EndRecord &end, ZipLayout &layout)
{
    const qint64 limit = layout.zip64EndAt >= 0 ? layout.zip64EndAt : layout.endAt;
    if (end.centralOffset > quint64(limit) ||
        end.centralSize > quint64(limit) - end.centralOffset ||
        end.count > end.centralSize / kCentralSize)
        return damaged(QStringLiteral("its table of contents lies outside the file."));
    layout.centralOffset = end.centralOffset;
    layout.centralSize = end.centralSize;
    layout.central = readBlock(bytes, qint64(end.centralOffset), qint64(end.centralSize));
    layout.records.reserve(qsizetype(end.count));
    layout.entries.reserve(qsizetype(end.count));
    layout.names.reserve(qsizetype(end.count));
    qsizetype at = 0;
    for (quint64 i = 0; i < end.count; ++i) {
        ZipRecord record;
        QByteArrayView rawName;
        const qsizetype length = readRecord(layout.central, at, record, rawName);
        if (length == 0)
            return damaged(QStringLiteral("its table of contents is cut short."));
        at += length;
        const ArchiveEntry entry = describe(record, rawName, layout.records.size());
        layout.records.append(record);
        const bool file = !entry.name.endsWith(u'/');
        // One look-up: a name seen before leaves the table as large as it was.
        const qsizetype known = layout.names.size();
        qsizetype &named = layout.names[entry.name];
        if (layout.names.size() > known) {
            named = file && entry.nameReadable ? layout.entries.size() : -1;
        } else if (entry.nameReadable) {
            return {ArchiveStatus::DuplicateName,
                    QStringLiteral("The archive holds two entries named \"%1\".").arg(entry.name)};
        }
        if (file)
            layout.entries.append(entry);
    }
    return {};
}

// Local headers read in runs: the headers of small entries lie close together, and one read
// of a few kilobytes takes in many of them, where a read each would cost a system call each.
// Large entries are not read through: a run stops where the next header is far off.
class HeaderReader
{
public:
    explicit HeaderReader(const ZipBytes &bytes) : m_bytes(bytes) {}

    // The header's fixed part at offset; next is where the header after it lies, if any.
    const char *at(quint64 offset, quint64 next)
    {
        const qint64 start = qint64(offset);
        if (start >= m_start && start + kLocalSize <= m_start + m_run.size())
            return m_run.constData() + (start - m_start);
        qint64 length = kLocalSize;
        if (next > offset && next - offset <= quint64(kNearby))
            length = std::min<qint64>(kRun, m_bytes.size() - start);
        m_run.resize(std::max(length, kLocalSize));
        if (!m_bytes.readAt(start, m_run.data(), m_run.size())) {
            m_start = -1;
            m_run.clear();
            return nullptr;
        }
        m_start = start;
        return m_run.constData();
    }

private:
    static constexpr qint64 kNearby = 4096;
    static constexpr qint64 kRun = 64 * 1024;
    const ZipBytes &m_bytes;
    QByteArray m_run;
    qint64 m_start = -1;
};

// Every entry's local header is where the table says, and its packed bytes end before the next
// entry starts: sorted by place, each neighbour pair is compared once, and each entry learns
// where its span ends.
ArchiveResult readLocalHeaders(const ZipBytes &bytes, ZipLayout &layout)
{
    QList<qsizetype> order(layout.records.size());
    std::iota(order.begin(), order.end(), 0);
    // Most archives list their entries in the order they lie.
    const auto byPlace = [&](qsizetype a, qsizetype b) {
        return layout.records[a].localOffset < layout.records[b].localOffset;
    };
    if (!std::is_sorted(order.cbegin(), order.cend(), byPlace))
        std::sort(order.begin(), order.end(), byPlace);
    quint64 previousEnd = 0;
    HeaderReader reader(bytes);
    for (qsizetype k = 0; k < order.size(); ++k) {
        ZipRecord &record = layout.records[order[k]];
        if (record.localOffset < previousEnd)
            return damaged(QStringLiteral("two of its entries share the same bytes."));
        const bool last = k + 1 == order.size();
        const quint64 next = last ? record.localOffset : layout.records[order[k + 1]].localOffset;
        record.spanEnd = last ? layout.centralOffset : next;
        const char *header = record.localOffset > layout.centralOffset
                                 ? nullptr
                                 : reader.at(record.localOffset, next);
        if (!header || std::memcmp(header, "PK\x03\x04", 4) != 0)
            return damaged(QStringLiteral("an entry is not where its table of contents says."));
        record.dataOffset =
            record.localOffset + kLocalSize + get16(header + 26) + get16(header + 28);
        if (record.dataOffset > layout.centralOffset ||
            record.compressedSize > layout.centralOffset - record.dataOffset)
            return damaged(QStringLiteral("an entry runs past the end of the packed data."));
        previousEnd = record.dataOffset + record.compressedSize;
    }
    return {};
}

} // namespace

ArchiveResult read_zip_layout(const ZipBytes &bytes, ZipLayout &layout)
{
    layout = {};
    EndRecord end;
    ArchiveResult result = readEnd(bytes, layout, end);
    if (result)
        result = readCentral(bytes, end, layout);
    if (result)
        result = readLocalHeaders(bytes, layout);
    if (!result)
        layout = {};
    return result;
}

QString method_name(quint16 method)
{
    switch (method) {
    case 9:
        return QStringLiteral("Deflate64");
    case 12:
        return QStringLiteral("bzip2");
    case 14:
        return QStringLiteral("LZMA");
    case 93:
        return QStringLiteral("Zstandard");
    case 95:
        return QStringLiteral("xz");
    case 98:
        return QStringLiteral("PPMd");
    default:
        return QStringLiteral("an unknown method");
    }
}

quint16 get16(const char *at)
{
    const auto *p = reinterpret_cast<const unsigned char *>(at);
    return quint16(p[0] | p[1] << 8);
}

quint32 get32(const char *at) { return get16(at) | quint32(get16(at + 2)) << 16; }

quint64 get64(const char *at) { return get32(at) | quint64(get32(at + 4)) << 32; }

void put16(QByteArray &bytes, qsizetype at, quint16 value)
{
    bytes[at] = char(value);
    bytes[at + 1] = char(value >> 8);
}

void put32(QByteArray &bytes, qsizetype at, quint32 value)
{
    put16(bytes, at, quint16(value));
    put16(bytes, at + 2, quint16(value >> 16));
}

void put64(QByteArray &bytes, qsizetype at, quint64 value)
{
    put32(bytes, at, quint32(value));
    put32(bytes, at + 4, quint32(value >> 32));
}
