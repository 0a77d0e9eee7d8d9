#include "archive/zip_packing.h"

#include "archive/zip_layout.h"

#include <zlib.h>

#include <algorithm>

namespace
{

constexpr quint16 kDescriptorFlag = 0x0008;

// A raw deflate stream, as zip entries hold it: no zlib header and no trailer. A window and a
// match table no larger than the bytes pack them as well and spare most of the work of setting
// up zlib's tables, which for the small entries of a Save All costs more than the packing.
bool deflateRaw(const QByteArray &bytes, QByteArray &packed)
{
    int bits = 9; // the least zlib takes for a raw stream
    while (bits < MAX_WBITS && (qsizetype(1) << bits) < bytes.size())
        ++bits;
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -bits, std::max(1, bits - 7),
                     Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    packed.resize(qsizetype(deflateBound(&stream, uLong(bytes.size()))));
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.constData()));
    stream.avail_in = uInt(bytes.size());
    stream.next_out = reinterpret_cast<Bytef *>(packed.data());
    stream.avail_out = uInt(packed.size());
    const bool done = deflate(&stream, Z_FINISH) == Z_STREAM_END;
    packed.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return done;
}

// Drops the zip64 field, whose sizes no longer hold (ours fit the plain fields), and dates the
// extended time field now; every other field stays as it was.
QByteArray rewrittenExtra(const QByteArray &extra, const PackedEntry &written)
{
    QByteArray out;
    qsizetype at = 0;
    while (at + 4 <= extra.size()) {
        const quint16 id = get16(extra.constData() + at);
        const qsizetype size = get16(extra.constData() + at + 2);
        if (at + 4 + size > extra.size())
            break;
        QByteArray field = extra.mid(at, 4 + size);
        if (id == 0x5455 && size >= 5 && (field[4] & 1))
            put32(field, 5, written.stamp.unixTime);
        if (id != 0x0001)
            out += field;
        at += 4 + size;
    }
    return out + extra.mid(at);
}

} // namespace

ZipStamp zip_stamp(const QDateTime &now)
{
    const QDate date = now.date();
    const QTime time = now.time();
    return {quint16(time.hour() << 11 | time.minute() << 5 | time.second() / 2),
            quint16((std::max(date.year(), 1980) - 1980) << 9 | date.month() << 5 | date.day()),
            quint32(now.toSecsSinceEpoch())};
}

PackedEntry pack_entry(const QByteArray &bytes, quint16 method, const ZipStamp &now)
{
    PackedEntry written;
    if (method == 0)
        written.packed = bytes;
    else if (!deflateRaw(bytes, written.packed))
        written.packed.clear();
    written.crc =
        quint32(crc32(0, reinterpret_cast<const Bytef *>(bytes.constData()), uInt(bytes.size())));
    written.size = quint32(bytes.size());
    written.stamp = now;
    return written;
}

QByteArray rewritten_header(const QByteArray &old, qsizetype fixed, const PackedEntry &written)
{
    const qsizetype shift =
        fixed == kCentralRecordSize ? 2 : 0; // central records add "version made by"
    const qsizetype nameLength = get16(old.constData() + 26 + shift);
    const qsizetype extraLength = get16(old.constData() + 28 + shift);
    const QByteArray extra = rewrittenExtra(old.mid(fixed + nameLength, extraLength), written);
    QByteArray header =
        old.left(fixed + nameLength) + extra + old.mid(fixed + nameLength + extraLength);
    put16(header, 6 + shift, quint16(get16(old.constData() + 6 + shift) & ~(kDescriptorFlag | 1)));
    put16(header, 10 + shift, written.stamp.dosTime);
    put16(header, 12 + shift, written.stamp.dosDate);
    put32(header, 14 + shift, written.crc);
    put32(header, 18 + shift, quint32(written.packed.size()));
    put32(header, 22 + shift, written.size);
    put16(header, 28 + shift, quint16(extra.size()));
    return header;
}

PackingAhead::PackingAhead(QList<QByteArray> bytes, const ZipStamp &now)
    : m_bytes(std::move(bytes)), m_now(now), m_packed(static_cast<size_t>(m_bytes.size())),
      m_state(std::make_unique<std::atomic<int>[]>(static_cast<size_t>(m_bytes.size())))
{
    m_helper = std::async(std::launch::async | std::launch::deferred, [this] { help(); });
}

PackingAhead::~PackingAhead()
{
    m_stop = true;
    m_helper.wait();
}

qsizetype PackingAhead::packNext(qsizetype from)
{
    for (qsizetype i = from; i < m_bytes.size(); ++i) {
        int waiting = Waiting;
        if (!m_state[i].compare_exchange_strong(waiting, Packing))
            continue;
        m_packed[static_cast<size_t>(i)] = pack_entry(m_bytes[i], 8, m_now);
        m_state[i].store(Packed);
        m_state[i].notify_all();
        return i + 1;
    }
    return m_bytes.size();
}

void PackingAhead::help()
{
    for (qsizetype from = 0; from < m_bytes.size() && !m_stop;)
        from = packNext(from);
}

PackedEntry PackingAhead::take(qsizetype i, quint16 method)
{
    if (method != 8)
        return pack_entry(m_bytes[i], method, m_now);
    // While the other core packs this one, this core packs the next that nobody has begun.
    for (qsizetype from = i; m_state[i].load() != Packed;) {
        from = packNext(from);
        if (from == m_bytes.size()) {
            m_state[i].wait(Packing);
            break;
        }
    }
    return std::move(m_packed[static_cast<size_t>(i)]);
}
