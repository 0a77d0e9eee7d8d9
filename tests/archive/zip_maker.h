#pragma once

// Archives built with libzip itself for the tests, and libzip's own view of an archive's packed
// bytes to compare against.

#include <QCryptographicHash>
#include <QFile>
#include <QList>
#include <QStringList>

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <ctime>
#include <utility>

// 2001-09-09: far enough back that a rewritten entry's fresh time cannot be taken for it.
inline constexpr time_t kOldTime = 1000000000;

struct MadeEntry {
    MadeEntry(QByteArray name, QByteArray bytes, quint16 method = ZIP_CM_DEFLATE,
              QByteArray comment = {}, bool encrypted = false)
        : name(std::move(name)), bytes(std::move(bytes)), method(method),
          comment(std::move(comment)), encrypted(encrypted)
    {
    }

    QByteArray name;
    QByteArray bytes;
    quint16 method = ZIP_CM_DEFLATE;
    QByteArray comment;
    bool encrypted = false;
};

inline bool make_zip(const QString &path, const QList<MadeEntry> &entries,
                     const QByteArray &archiveComment = {})
{
    int code = 0;
    zip_t *zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!zip)
        return false;
    bool ok = true;
    for (const MadeEntry &entry : entries) {
        zip_source_t *source =
            zip_source_buffer(zip, entry.bytes.constData(), zip_uint64_t(entry.bytes.size()), 0);
        const zip_int64_t index = zip_file_add(zip, entry.name.constData(), source, 0);
        ok = ok && index >= 0 && zip_set_file_compression(zip, index, entry.method, 0) == 0 &&
             zip_file_set_mtime(zip, index, kOldTime, 0) == 0 &&
             (entry.comment.isEmpty() ||
              zip_file_set_comment(zip, index, entry.comment.constData(),
                                   quint16(entry.comment.size()), 0) == 0) &&
             (!entry.encrypted ||
              zip_file_set_encryption(zip, index, ZIP_EM_TRAD_PKWARE, "secret") == 0);
    }
    if (!archiveComment.isEmpty())
        zip_set_archive_comment(zip, archiveComment.constData(), quint16(archiveComment.size()));
    if (!ok || zip_close(zip) != 0) {
        zip_discard(zip);
        return false;
    }
    return true;
}

inline QByteArray file_bytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool write_file(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// One line per entry, as libzip finds it: name, method, checksum, time, comment and a digest of
// the packed bytes exactly as they lie in the file.
inline QStringList packed_entries(const QString &path)
{
    QStringList lines;
    int code = 0;
    zip_t *zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
    if (!zip)
        return {QStringLiteral("not an archive")};
    for (zip_int64_t i = 0; i < zip_get_num_entries(zip, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(zip, zip_uint64_t(i), 0, &stat);
        QByteArray packed(qsizetype(stat.comp_size), '\0');
        if (zip_file_t *file = zip_fopen_index(zip, zip_uint64_t(i), ZIP_FL_COMPRESSED)) {
            packed.resize(qsizetype(zip_fread(file, packed.data(), stat.comp_size)));
            zip_fclose(file);
        }
        zip_uint32_t commentSize = 0;
        const char *comment = zip_file_get_comment(zip, zip_uint64_t(i), &commentSize, 0);
        lines << QStringLiteral("%1 method %2 crc %3 time %4 comment \"%5\" packed %6")
                     .arg(QString::fromUtf8(stat.name))
                     .arg(stat.comp_method)
                     .arg(stat.crc, 8, 16, QLatin1Char('0'))
                     .arg(qint64(stat.mtime))
                     .arg(QString::fromUtf8(comment, qsizetype(commentSize)))
                     .arg(QString::fromLatin1(
                         QCryptographicHash::hash(packed, QCryptographicHash::Sha1).toHex()));
    }
    const char *comment = zip_get_archive_comment(zip, nullptr, 0);
    lines << QStringLiteral("archive comment \"%1\"").arg(QString::fromUtf8(comment));
    zip_discard(zip);
    return lines;
}

// An entry of an archive built byte by byte, for what libzip will not write: a data descriptor,
// local and central extra fields that differ, any bytes at all as a name, any flags.
struct RawEntry {
    QByteArray name;
    QByteArray bytes; // stored as they are, unless packed holds them deflated
    quint16 flags = 0;
    QByteArray localExtra = {};
    QByteArray centralExtra = {};
    qint64 localAt = -1; // where the central record says the local header is; -1: where it is
    QByteArray packed = {};
};

inline void append_le(QByteArray &to, quint64 value, int size)
{
    for (int i = 0; i < size; ++i)
        to += char(value >> (8 * i));
}

inline QByteArray raw_zip(const QList<RawEntry> &entries, const QByteArray &prefix = {})
{
    QByteArray out = prefix;
    QByteArray central;
    for (const RawEntry &e : entries) {
        const bool described = e.flags & 0x0008;
        const quint32 crc = quint32(
            crc32(0, reinterpret_cast<const Bytef *>(e.bytes.constData()), uInt(e.bytes.size())));
        const qint64 at = out.size();
        QByteArray fixed; // flags, method, time and date, the same in both headers
        append_le(fixed, e.flags, 2);
        append_le(fixed, e.packed.isEmpty() ? 0 : 8, 2);
        append_le(fixed, 0x53216000, 4); // 2021-09-01 12:00
        const QByteArray &data = e.packed.isEmpty() ? e.bytes : e.packed;
        QByteArray sizes;
        append_le(sizes, crc, 4);
        append_le(sizes, quint64(data.size()), 4);
        append_le(sizes, quint64(e.bytes.size()), 4);
        out += "PK\x03\x04" + QByteArray("\x14\x00", 2) + fixed +
               (described ? QByteArray(12, '\0') : sizes);
        append_le(out, quint64(e.name.size()), 2);
        append_le(out, quint64(e.localExtra.size()), 2);
        out += e.name + e.localExtra + data;
        if (described)
            out += "PK\x07\x08" + sizes;
        central += "PK\x01\x02" + QByteArray("\x1e\x03\x14\x00", 4) + fixed + sizes;
        append_le(central, quint64(e.name.size()), 2);
        append_le(central, quint64(e.centralExtra.size()), 2);
        central += QByteArray(10, '\0'); // comment length, disk, internal and external attributes
        append_le(central, quint64(e.localAt >= 0 ? e.localAt : at), 4);
        central += e.name + e.centralExtra;
    }
    const qint64 centralAt = out.size();
    out += central + "PK\x05\x06" + QByteArray(4, '\0');
    append_le(out, quint64(entries.size()), 2);
    append_le(out, quint64(entries.size()), 2);
    append_le(out, quint64(central.size()), 4);
    append_le(out, quint64(centralAt), 4);
    return out + QByteArray(2, '\0');
}

// Every entry as its bytes lie in a plain (not zip64) archive: its central record with the local
// header offset blanked, and everything from its local header up to the next one or the
// central directory, data descriptor included.
inline QStringList raw_entries(const QByteArray &zip)
{
    const auto le = [&](qsizetype at, int size) {
        quint64 value = 0;
        for (int i = size - 1; i >= 0; --i)
            value = value << 8 | quint8(zip[at + i]);
        return qsizetype(value);
    };
    const qsizetype end = zip.lastIndexOf("PK\x05\x06");
    if (end < 0)
        return {QStringLiteral("not an archive")};
    const qsizetype centralAt = le(end + 16, 4);
    QList<qsizetype> starts;
    for (qsizetype at = centralAt; zip.mid(at, 4) == "PK\x01\x02";
         at += 46 + le(at + 28, 2) + le(at + 30, 2) + le(at + 32, 2))
        starts << le(at + 42, 4);
    QList<qsizetype> sorted = starts;
    std::sort(sorted.begin(), sorted.end());
    sorted << centralAt;
    QStringList lines;
    qsizetype at = centralAt;
    for (const qsizetype start : starts) {
        const qsizetype length = 46 + le(at + 28, 2) + le(at + 30, 2) + le(at + 32, 2);
        QByteArray record = zip.mid(at, length);
        record.replace(42, 4, "....");
        const qsizetype next = *std::upper_bound(sorted.cbegin(), sorted.cend(), start);
        lines << QString::fromLatin1(
            record.toHex() + " " +
            QCryptographicHash::hash(zip.mid(start, next - start), QCryptographicHash::Sha1)
                .toHex());
        at += length;
    }
    return lines;
}
