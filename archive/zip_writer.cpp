#include "archive/zip_archive.h"

#include "archive/zip_layout.h"
#include "archive/zip_packing.h"

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

namespace
{

// Reads of untouched bytes end where a megabyte of the new archive ends, so that a sink that
// writes in pieces of a megabyte takes most of them as they come.
constexpr qint64 kCopyChunk = 1 << 20;
constexpr quint64 kMost32 = 0xFFFFFFFF;
// The flags a rewritten entry loses: it is neither encrypted nor followed by a data descriptor.
constexpr quint16 kDroppedFlags = 0x0001 | 0x0008;

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

// Moves one record's local header offset by delta, in the central directory's bytes; false
// when the field cannot hold it.
bool moveOffset(QByteArray &central, const ZipRecord &record, qint64 delta)
{
    const quint64 moved = record.localOffset + quint64(delta);
    if (record.zip64OffsetAt >= 0) {
        put64(central, record.centralAt + record.zip64OffsetAt, moved);
        return true;
    }
    if (moved >= kMost32)
        return false;
    put32(central, record.centralAt + record.offsetAt, quint32(moved));
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

// Where the last central record ends; the records lie one after the other from the start.
qsizetype recordsEnd(const ZipLayout &layout)
{
    return layout.records.isEmpty()
               ? 0
               : layout.records.back().centralAt + layout.records.back().centralSize;
}

// One entry to replace: its record, where its old bytes end, and what goes in their place.
struct Edit {
    const ZipRecord *record = nullptr;
    qsizetype entry = 0;       // in ZipLayout::entries
    qsizetype replacement = 0; // in the bytes being packed
    quint16 method = 0;
    qint64 spanEnd = 0; // where the next entry, or the central directory, begins
    PackedEntry written;
    // Where its new local header went, and the sizes of its new headers.
    qint64 newStart = 0;
    qsizetype localSize = 0;
    qsizetype centralSize = 0;
};

using Shifts = QList<std::pair<qint64, qint64>>;

// How far the entry whose local header lay at offset has moved.
qint64 shiftAt(const Shifts &shifts, quint64 offset)
{
    const auto after = std::partition_point(shifts.cbegin(), shifts.cend(), [&](const auto &shift) {
        return shift.first < qint64(offset);
    });
    return after == shifts.cbegin() ? 0 : std::prev(after)->second;
}

struct Rewrite {
    const ZipBytes &old;
    ZipLayout &layout;
    QList<Edit> edits; // in the order they lie in the archive
    PackingAhead &packing;
    const ArchiveSink &sink;
    const ArchiveProgress &progress;
    qint64 done = 0;
    qint64 written = 0;
    bool stoppedByUser = false;
    bool sinkFailed = false;
    QByteArray buffer = QByteArray(kCopyChunk, Qt::Uninitialized);
    QByteArray tableOfContents = {}; // the new archive's, from its central directory to its end

    ArchiveResult run();
    ArchiveResult copyEntries(Shifts &shifts);
    ArchiveResult copyCentral(const Shifts &shifts, qint64 &centralGrowth);
    void carryForward(const Shifts &shifts, qint64 delta, qint64 centralGrowth);
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
ArchiveResult Rewrite::copyEntries(Shifts &shifts)
{
    qint64 at = 0;
    qint64 delta = 0;
    for (Edit &edit : edits) {
        edit.written = packing.take(edit.replacement, edit.method);
        if (edit.written.packed.isEmpty() && edit.written.size != 0)
            return cannotWrite(QStringLiteral("its entry could not be packed."));
        const qint64 start = qint64(edit.record->localOffset);
        QByteArray local(qsizetype(edit.record->dataOffset - edit.record->localOffset),
                         Qt::Uninitialized);
        if (!old.readAt(start, local.data(), local.size()) || start >= qint64(kMost32))
            return cannotWrite(QStringLiteral("the entry lies beyond 4 GiB."));
        local = rewritten_header(local, kLocalHeaderSize, edit.written);
        edit.localSize = local.size();
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

// The central directory, its untouched records going out in runs with only their offsets moved.
ArchiveResult Rewrite::copyCentral(const Shifts &shifts, qint64 &centralGrowth)
{
    QByteArray &central = layout.central;
    tableOfContents.reserve(old.size() - qint64(layout.centralOffset) + 1024);
    qsizetype runStart = 0;
    const auto putRun = [&](qsizetype end) {
        const QByteArrayView run = QByteArrayView(central).sliced(runStart, end - runStart);
        tableOfContents += run;
        return run.isEmpty() || put(run);
    };
    for (const ZipRecord &record : std::as_const(layout.records)) {
        // Edits and shifts lie in archive order, and no two entries start at one place.
        const auto edit = std::partition_point(edits.begin(), edits.end(), [&](const Edit &e) {
            return e.record->localOffset < record.localOffset;
        });
        if (edit != edits.end() && edit->record == &record) {
            QByteArray header = rewritten_header(central.mid(record.centralAt, record.centralSize),
                                                 kCentralRecordSize, edit->written);
            // Its zip64 field is gone, so the offset goes back into the plain one.
            put32(header, record.offsetAt, quint32(edit->newStart));
            edit->centralSize = header.size();
            centralGrowth += header.size() - record.centralSize;
            if (!putRun(record.centralAt) || !put(header))
                return stopped();
            tableOfContents += header;
            runStart = record.centralAt + record.centralSize;
            continue;
        }
        const qint64 delta = shiftAt(shifts, record.localOffset);
        if (delta != 0 && !moveOffset(central, record, delta))
            return cannotWrite(QStringLiteral("it would grow beyond 4 GiB."));
    }
    return putRun(recordsEnd(layout)) ? ArchiveResult{} : stopped();
}

// The layout of the archive just written, made from the old one rather than read again, with
// tableOfContents as its bytes: the next rewrite of the file starts from it.
void Rewrite::carryForward(const Shifts &shifts, qint64 delta, qint64 centralGrowth)
{
    std::vector<const Edit *> editOf(static_cast<size_t>(layout.records.size()), nullptr);
    for (const Edit &edit : std::as_const(edits))
        editOf[static_cast<size_t>(edit.record - layout.records.constData())] = &edit;
    qsizetype centralAt = 0;
    for (qsizetype i = 0; i < layout.records.size(); ++i) {
        ZipRecord &record = layout.records[i];
        record.centralAt = centralAt;
        if (const Edit *edit = editOf[static_cast<size_t>(i)]) {
            record.centralSize = edit->centralSize;
            record.zip64OffsetAt = -1;
            record.flags &= ~kDroppedFlags;
            record.crc = edit->written.crc;
            record.compressedSize = quint64(edit->written.packed.size());
            record.size = edit->written.size;
            record.localOffset = quint64(edit->newStart);
            record.dataOffset = record.localOffset + quint64(edit->localSize);
            record.spanEnd = record.dataOffset + record.compressedSize;
            ArchiveEntry &entry = layout.entries[edit->entry];
            entry.size = qint64(record.size);
            entry.compressedSize = qint64(record.compressedSize);
        } else {
            const quint64 moved = quint64(shiftAt(shifts, record.localOffset));
            record.localOffset += moved;
            record.dataOffset += moved;
            record.spanEnd += moved;
        }
        centralAt += record.centralSize;
    }
    layout.centralOffset += quint64(delta);
    layout.centralSize += quint64(centralGrowth);
    layout.central = tableOfContents.first(qsizetype(layout.centralSize));
    layout.endAt += delta + centralGrowth;
    if (layout.zip64EndAt >= 0) {
        layout.zip64EndAt += delta + centralGrowth;
        layout.zip64LocatorAt += delta + centralGrowth;
    }
}

ArchiveResult Rewrite::run()
{
    Shifts shifts;
    if (ArchiveResult copied = copyEntries(shifts); !copied)
        return copied;
    const qint64 delta = shifts.isEmpty() ? 0 : shifts.back().second;
    const qint64 centralStart = qint64(layout.centralOffset);
    const qint64 centralOld = recordsEnd(layout);
    qint64 centralGrowth = 0;
    if (ArchiveResult copied = copyCentral(shifts, centralGrowth); !copied)
        return copied;
    const qint64 tailStart = centralStart + centralOld;
    QByteArray tail(old.size() - tailStart, Qt::Uninitialized);
    if (!old.readAt(tailStart, tail.data(), tail.size()))
        return stopped();
    if (!rewrittenTail(tail, tailStart, layout, delta, centralGrowth))
        return cannotWrite(QStringLiteral("it would grow beyond 4 GiB."));
    if (!put(tail))
        return stopped();
    tableOfContents += tail;
    carryForward(shifts, delta, centralGrowth);
    return {};
}

} // namespace

// What a prepared rewrite holds until it is written: the old archive, open, its layout, and
// the new entries packed.
struct ArchiveRewrite::Plan {
    std::unique_ptr<ZipBytes> old;
    ZipLayout layout;
    QList<Edit> edits;
    std::unique_ptr<PackingAhead> packing;
};

ArchiveMemo::ArchiveMemo() = default;
ArchiveMemo::~ArchiveMemo() = default;
ArchiveMemo::ArchiveMemo(ArchiveMemo &&) noexcept = default;
ArchiveMemo &ArchiveMemo::operator=(ArchiveMemo &&) noexcept = default;

bool ArchiveMemo::recall(const ZipBytes &bytes, ZipLayout &layout)
{
    const std::unique_ptr<ZipLayout> known = std::move(m_layout);
    const QByteArray expected = std::exchange(m_tableOfContents, {});
    if (!known || bytes.size() - expected.size() != qint64(known->centralOffset))
        return false;
    QByteArray found(expected.size(), Qt::Uninitialized);
    if (!bytes.readAt(qint64(known->centralOffset), found.data(), found.size()) ||
        found != expected)
        return false;
    layout = std::move(*known);
    return true;
}

ArchiveRewrite::ArchiveRewrite() = default;
ArchiveRewrite::~ArchiveRewrite() = default;

ArchiveResult ArchiveRewrite::prepare(const QString &archive,
                                      const QList<std::pair<QString, QByteArray>> &replacements,
                                      ArchiveMemo known)
{
    QList<QByteArray> bytes;
    bytes.reserve(replacements.size());
    for (const auto &replacement : replacements)
        bytes << replacement.second;
    auto plan = std::make_unique<Plan>();
    // Packing needs nothing of the archive, so it starts at once: the table of contents is read
    // and the new file opened meanwhile. An entry that turns out to be stored is simply stored.
    plan->packing =
        std::make_unique<PackingAhead>(std::move(bytes), zip_stamp(QDateTime::currentDateTime()));
    ArchiveResult result;
    plan->old = open_zip_file(archive, result);
    if (!plan->old)
        return result;
    if (!known.recall(*plan->old, plan->layout) &&
        !(result = read_zip_layout(*plan->old, plan->layout)))
        return result;
    for (qsizetype i = 0; i < replacements.size(); ++i) {
        const QString &name = replacements[i].first;
        const qsizetype index = plan->layout.names.value(name, -1);
        const ArchiveEntry *entry = index < 0 ? nullptr : &plan->layout.entries[index];
        if (result = writable(entry, name); !result)
            return result;
        Edit edit;
        edit.replacement = i;
        edit.method = entry->method;
        edit.record = &plan->layout.records[qsizetype(entry->index)];
        edit.entry = index;
        edit.spanEnd = qint64(edit.record->spanEnd);
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
    m_memo = {};
    if (!plan)
        return cannotWrite(QStringLiteral("it was not read first."));
    const qint64 total = plan->old->size();
    // The run is framed by a report of nothing done and one of everything done, whatever
    // becomes of it, so that whoever shows the progress knows when to stop showing it.
    if (progress && !progress(0, total))
        return cancelled();
    Rewrite rewrite{*plan->old,     plan->layout, std::move(plan->edits),
                    *plan->packing, sink,         progress};
    const ArchiveResult result = rewrite.run();
    if (result) {
        m_memo.m_layout = std::make_unique<ZipLayout>(std::move(plan->layout));
        m_memo.m_tableOfContents = std::move(rewrite.tableOfContents);
    }
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
                              QByteArray &rewritten, const ArchiveProgress &progress,
                              ArchiveMemo *learnt)
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
    if (learnt)
        *learnt = rewrite.takeMemo();
    return result;
}
