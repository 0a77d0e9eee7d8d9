#pragma once

// Archives built with libzip itself for the tests, and libzip's own view of an archive's packed
// bytes to compare against.

#include <QCryptographicHash>
#include <QFile>
#include <QList>
#include <QStringList>

#include <zip.h>

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
