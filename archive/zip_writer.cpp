#include "archive/zip_archive.h"

#include "archive/zip_layout.h"

#include <QDateTime>

#include <zlib.h>

#include <algorithm>

namespace
{

constexpr qint64 kLocalSize = 30;
constexpr qint64 kCentralSize = 46;
constexpr quint16 kDescriptorFlag = 0x0008;
// Reads of untouched bytes end where a megabyte of the new archive ends, so that a sink that
// writes in pieces of a megabyte takes most of them as they come.
constexpr qint64 kCopyChunk = 1 << 20;
constexpr quint64 kMost32 = 0xFFFFFFFF;

ArchiveResult cannotWrite(const QString &why)
{
    return {ArchiveStatus::CannotWrite,
            QStringLiteral("The archive cannot be written: %1").arg(why)};
}

ArchiveResult cancelled()
{
    return {ArchiveStatus::Cancelled,
            QStringLiteral("The save was cancelled; the archive is as it was.")};
}

QString quoted(const QString &name) { return QLatin1Char('"') + name + '"'; }

ArchiveResult writable(const ArchiveEntry *entry, const QString &name)
{
    if (!entry) {
        return {ArchiveStatus::NoSuchEntry,
                QStringLiteral("The archive holds no entry named %1.").arg(quoted(name))};
    }
    if (entry->encrypted) {
        return {ArchiveStatus::Encrypted,
                QStringLiteral("The entry %1 is encrypted.").arg(quoted(name))};
    }
    if (entry->method != 0 && entry->method != 8) {
        return {ArchiveStatus::UnsupportedMethod,
                QStringLiteral("The entry %1 is packed with %2 (method %3), which Armsmith "
                               "cannot pack.")
                    .arg(quoted(name), method_name(entry->method))
                    .arg(entry->method)};
    }
    return {};
}

// A raw deflate stream, as zip entries hold it: no zlib header and no trailer.
bool deflateRaw(const QByteArray &bytes, QByteArray &packed)
{
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8,
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

// What the rewritten entry's headers say about it.
struct Written {
    QByteArray packed;
    quint32 crc = 0;
    quint32 size = 0;
    quint16 dosTime = 0;
    quint16 dosDate = 0;
    quint32 unixTime = 0;
};

// Drops the zip64 field, whose sizes no longer hold (ours fit the plain fields), and dates the
// extended time field now; every other field stays as it was.
QByteArray rewrittenExtra(const QByteArray &extra, const Written &written)
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
            put32(field, 5, written.unixTime);
        if (id != 0x0001)
            out += field;
        at += 4 + size;
    }
    return out + extra.mid(at);
}

// A header of the entry (local or central, told apart by where its fixed fields end) with the new
// sizes, checksum and time. Neither a data descriptor nor encryption follows the new bytes.
QByteArray rewrittenHeader(const QByteArray &old, qsizetype fixed, const Written &written)
{
    const qsizetype shift = fixed == kCentralSize ? 2 : 0; // central records add "version made by"
    const qsizetype nameLength = get16(old.constData() + 26 + shift);
    const qsizetype extraLength = get16(old.constData() + 28 + shift);
    const QByteArray extra = rewrittenExtra(old.mid(fixed + nameLength, extraLength), written);
    QByteArray header =
        old.left(fixed + nameLength) + extra + old.mid(fixed + nameLength + extraLength);
    put16(header, 6 + shift, quint16(get16(old.constData() + 6 + shift) & ~(kDescriptorFlag | 1)));
    put16(header, 10 + shift, written.dosTime);
    put16(header, 12 + shift, written.dosDate);
    put32(header, 14 + shift, written.crc);
    put32(header, 18 + shift, quint32(written.packed.size()));
    put32(header, 22 + shift, written.size);
    put16(header, 28 + shift, quint16(extra.size()));
    return header;
}

Written pack(const QByteArray &bytes, quint16 method)
{
    Written written;
    if (method == 0)
        written.packed = bytes;
    else if (!deflateRaw(bytes, written.packed))
        written.packed.clear();
    written.crc =
        quint32(crc32(0, reinterpret_cast<const Bytef *>(bytes.constData()), uInt(bytes.size())));
    written.size = quint32(bytes.size());
    const QDateTime now = QDateTime::currentDateTime();
    const QDate date = now.date();
    const QTime time = now.time();
    written.dosDate =
        quint16((std::max(date.year(), 1980) - 1980) << 9 | date.month() << 5 | date.day());
    written.dosTime = quint16(time.hour() << 11 | time.minute() << 5 | time.second() / 2);
    written.unixTime = quint32(now.toSecsSinceEpoch());
    return written;
}

// Moves one record's local header offset by delta; false when the field cannot hold it.
bool moveOffset(ZipRecord &record, qint64 delta)
{
    const quint64 moved = record.localOffset + quint64(delta);
    if (record.zip64OffsetAt >= 0) {
        put64(record.central, record.zip64OffsetAt, moved);
        return true;
    }
    if (moved >= kMost32)
        return false;
    put32(record.central, record.offsetAt, quint32(moved));
    return true;
}

// The end records after the central directory, with its new place and size.
bool rewrittenTail(QByteArray &tail, qint64 tailStart, const ZipLayout &layout, qint64 delta,
                   qint64 centralGrowth)
{
    const quint64 offset = layout.centralOffset + quint64(delta);
    const quint64 size = layout.centralSize + quint64(centralGrowth);
    if (layout.zip64EndAt >= 0) {
        if (layout.zip64EndAt < tailStart)
            return false;
        put64(tail, layout.zip64EndAt - tailStart + 40, size);
        put64(tail, layout.zip64EndAt - tailStart + 48, offset);
        put64(tail, layout.zip64LocatorAt - tailStart + 8, quint64(layout.zip64EndAt + delta));
    }
    const qsizetype end = layout.endAt - tailStart;
    for (const auto &[at, value] : {std::pair{end + 12, size}, std::pair{end + 16, offset}}) {
        if (get32(tail.constData() + at) == kMost32)
            continue;
        if (value >= kMost32)
            return false;
        put32(tail, at, quint32(value));
    }
    return true;
}

// One entry to replace: its record, where its old bytes end, and what goes in their place.
struct Edit {
    const ZipRecord *record = nullptr;
    qint64 spanEnd = 0; // where the next entry, or the central directory, begins
    Written written;
    qint64 newStart = 0;
};

struct Rewrite {
    const ZipBytes &old;
    ZipLayout &layout;
    QList<Edit> edits; // in the order they lie in the archive
    const ArchiveSink &sink;
    const ArchiveProgress &progress;
    qint64 done = 0;
    qint64 written = 0;
    bool stoppedByUser = false;
    bool sinkFailed = false;
    QByteArray buffer = QByteArray(kCopyChunk, Qt::Uninitialized);

    ArchiveResult run();
    ArchiveResult copyEntries(QList<std::pair<qint64, qint64>> &shifts);
    ArchiveResult copyCentral(const QList<std::pair<qint64, qint64>> &shifts,
                              qint64 &centralGrowth);
    bool put(QByteArrayView bytes);
    bool copyRange(qint64 offset, qint64 count);
    ArchiveResult stopped() const;
};

bool Rewrite::put(QByteArrayView bytes)
{
    if (!sink(bytes)) {
        sinkFailed = true;
        return false;
    }
    written += bytes.size();
    return true;
}

// Passes count bytes of the old archive from offset on to the sink, telling progress as it goes.
bool Rewrite::copyRange(qint64 offset, qint64 count)
{
    while (count > 0) {
        const qint64 step = std::min(count, kCopyChunk - written % kCopyChunk);
        if (!old.readAt(offset, buffer.data(), step) || !put(QByteArrayView(buffer).first(step)))
            return false;
        done += step;
        if (progress && !progress(done, old.size())) {
            stoppedByUser = true;
            return false;
        }
        offset += step;
        count -= step;
    }
    return true;
}

ArchiveResult Rewrite::stopped() const
{
    if (stoppedByUser)
        return cancelled();
    if (sinkFailed)
        return cannotWrite(QStringLiteral("the new archive could not be written."));
    return cannotWrite(QStringLiteral("its old bytes could not be read again."));
}

// The entries up to the central directory, each replaced one in its place; shifts says, for
// each, where its old bytes began and how far everything after it has moved.
ArchiveResult Rewrite::copyEntries(QList<std::pair<qint64, qint64>> &shifts)
{
    qint64 at = 0;
    qint64 delta = 0;
    for (Edit &edit : edits) {
        const qint64 start = qint64(edit.record->localOffset);
        QByteArray local(qsizetype(edit.record->dataOffset - edit.record->localOffset),
                         Qt::Uninitialized);
        if (!old.readAt(start, local.data(), local.size()) || start >= qint64(kMost32))
            return cannotWrite(QStringLiteral("the entry lies beyond 4 GiB."));
        local = rewrittenHeader(local, kLocalSize, edit.written);
        if (!copyRange(at, start - at))
            return stopped();
        edit.newStart = start + delta;
        if (edit.newStart >= qint64(kMost32))
            return cannotWrite(QStringLiteral("it would grow beyond 4 GiB."));
        if (!put(local) || !put(edit.written.packed))
            return stopped();
        delta += local.size() + edit.written.packed.size() - (edit.spanEnd - start);
        shifts.append({start, delta});
        at = edit.spanEnd;
    }
    if (!copyRange(at, qint64(layout.centralOffset) - at))
        return stopped();
    return {};
}

ArchiveResult Rewrite::copyCentral(const QList<std::pair<qint64, qint64>> &shifts,
                                   qint64 &centralGrowth)
{
    for (ZipRecord &record : layout.records) {
        const qint64 before = record.central.size();
        const auto edit = std::find_if(edits.cbegin(), edits.cend(),
                                       [&](const Edit &e) { return e.record == &record; });
        if (edit != edits.cend()) {
            record.central = rewrittenHeader(record.central, kCentralSize, edit->written);
            // Its zip64 field is gone, so the offset goes back into the plain one.
            put32(record.central, record.offsetAt, quint32(edit->newStart));
        } else {
            qint64 delta = 0;
            for (const auto &[start, shift] : shifts) {
                if (qint64(record.localOffset) > start)
                    delta = shift;
            }
            if (delta != 0 && !moveOffset(record, delta))
                return cannotWrite(QStringLiteral("it would grow beyond 4 GiB."));
        }
        centralGrowth += record.central.size() - before;
        if (!put(record.central))
            return stopped();
    }
    return {};
}

ArchiveResult Rewrite::run()
{
    QList<std::pair<qint64, qint64>> shifts;
    if (ArchiveResult copied = copyEntries(shifts); !copied)
        return copied;
    const qint64 delta = shifts.isEmpty() ? 0 : shifts.back().second;
    const qint64 centralStart = qint64(layout.centralOffset);
    qint64 centralOld = 0;
    for (const ZipRecord &record : std::as_const(layout.records))
        centralOld += record.central.size();
    qint64 centralGrowth = 0;
    if (ArchiveResult copied = copyCentral(shifts, centralGrowth); !copied)
        return copied;
    const qint64 tailStart = centralStart + centralOld;
    QByteArray tail(old.size() - tailStart, Qt::Uninitialized);
    if (!old.readAt(tailStart, tail.data(), tail.size()))
        return stopped();
    if (!rewrittenTail(tail, tailStart, layout, delta, centralGrowth))
        return cannotWrite(QStringLiteral("it would grow beyond 4 GiB."));
    return put(tail) ? ArchiveResult{} : stopped();
}

// Where the bytes of the entry at record end: at the next entry, or at the central directory.
qint64 spanEndOf(const ZipLayout &layout, const ZipRecord &edited)
{
    qint64 spanEnd = qint64(layout.centralOffset);
    for (const ZipRecord &record : layout.records) {
        if (record.localOffset > edited.localOffset)
            spanEnd = std::min(spanEnd, qint64(record.localOffset));
    }
    return spanEnd;
}

} // namespace

// What a prepared rewrite holds until it is written: the old archive, open, its layout, and
// the new entries packed.
struct ArchiveRewrite::Plan {
    std::unique_ptr<ZipBytes> old;
    ZipLayout layout;
    QList<Edit> edits;
};

ArchiveRewrite::ArchiveRewrite() = default;
ArchiveRewrite::~ArchiveRewrite() = default;

ArchiveResult ArchiveRewrite::prepare(const QString &archive,
                                      const QList<std::pair<QString, QByteArray>> &replacements)
{
    auto plan = std::make_unique<Plan>();
    ArchiveResult result;
    plan->old = open_zip_file(archive, result);
    if (!plan->old || !(result = read_zip_layout(*plan->old, plan->layout)))
        return result;
    for (const auto &[name, bytes] : replacements) {
        const QList<ArchiveEntry> &entries = plan->layout.entries;
        const auto found =
            std::find_if(entries.cbegin(), entries.cend(), [&name = name](const ArchiveEntry &e) {
                return e.nameReadable && e.name == name;
            });
        const ArchiveEntry *entry = found == entries.cend() ? nullptr : &*found;
        if (result = writable(entry, name); !result)
            return result;
        Edit edit;
        edit.written = pack(bytes, entry->method);
        if (edit.written.packed.isEmpty() && !bytes.isEmpty())
            return cannotWrite(QStringLiteral("its entry could not be packed."));
        edit.record = &plan->layout.records[qsizetype(entry->index)];
        edit.spanEnd = spanEndOf(plan->layout, *edit.record);
        plan->edits << edit;
    }
    std::sort(plan->edits.begin(), plan->edits.end(), [](const Edit &a, const Edit &b) {
        return a.record->localOffset < b.record->localOffset;
    });
    m_plan = std::move(plan);
    return {};
}

ArchiveResult ArchiveRewrite::write(const ArchiveSink &sink, const ArchiveProgress &progress)
{
    const std::unique_ptr<Plan> plan = std::move(m_plan);
    if (!plan)
        return cannotWrite(QStringLiteral("it was not read first."));
    const qint64 total = plan->old->size();
    // The run is framed by a report of nothing done and one of everything done, whatever
    // becomes of it, so that whoever shows the progress knows when to stop showing it.
    if (progress && !progress(0, total))
        return cancelled();
    Rewrite rewrite{*plan->old, plan->layout, std::move(plan->edits), sink, progress};
    const ArchiveResult result = rewrite.run();
    if (progress)
        progress(total, total);
    return result;
}

ArchiveResult rewrite_entry(const QString &archive, const QString &name, const QByteArray &bytes,
                            QByteArray &rewritten, const ArchiveProgress &progress)
{
    return rewrite_entries(archive, {{name, bytes}}, rewritten, progress);
}

ArchiveResult rewrite_entries(const QString &archive,
                              const QList<std::pair<QString, QByteArray>> &replacements,
                              QByteArray &rewritten, const ArchiveProgress &progress)
{
    rewritten.clear();
    ArchiveRewrite rewrite;
    ArchiveResult result = rewrite.prepare(archive, replacements);
    if (result) {
        result = rewrite.write(
            [&](QByteArrayView bytes) {
                rewritten += bytes;
                return true;
            },
            progress);
    }
    if (!result)
        rewritten.clear();
    return result;
}
