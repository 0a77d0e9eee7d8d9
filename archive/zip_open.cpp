#include "archive/zip_open.h"

#include "archive/file_source.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace
{

// A local file header's signature: a file that starts with one but has no table of contents at
// its end is a zip that was cut short, not some other kind of file.
bool startsLikeZip(QByteArrayView start) { return start.startsWith("PK\x03\x04"); }

bool isFolder(const QString &name) { return name.endsWith(u'/'); }

ArchiveResult fileOpenFailure(const QString &path, int code)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return open_failure(code, {}, file.errorString());
    return open_failure(code, file.read(4));
}

// libzip takes an empty file for an empty archive; nobody hands us one of those on purpose.
ArchiveResult refuseEmpty(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists() && info.isFile() && info.size() == 0)
        return archive_failure(ArchiveStatus::NotZip, QStringLiteral("The file is empty."));
    return {};
}

} // namespace

ArchiveResult archive_failure(ArchiveStatus status, const QString &reason)
{
    return {status, reason};
}

QString quoted_name(const ArchiveEntry &entry) { return QLatin1Char('"') + entry.name + '"'; }

ArchiveResult open_failure(int code, QByteArrayView start, const QString &systemDetail)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString detail = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    switch (code) {
    case ZIP_ER_NOZIP:
        if (startsLikeZip(start)) {
            return archive_failure(
                ArchiveStatus::Damaged,
                QStringLiteral("The archive is cut short: its table of contents is "
                               "missing."));
        }
        return archive_failure(ArchiveStatus::NotZip,
                               QStringLiteral("The file is not a zip archive."));
    case ZIP_ER_INCONS:
        return archive_failure(
            ArchiveStatus::Damaged,
            QStringLiteral("The archive is damaged or cut short (%1).").arg(detail));
    default:
        return archive_failure(ArchiveStatus::CannotRead,
                               QStringLiteral("The archive cannot be read: %1")
                                   .arg(systemDetail.isEmpty() ? detail : systemDetail));
    }
}

// What libzip said went wrong with one entry, in the user's words.
ArchiveResult collect_entries(zip_t *archive, QList<ArchiveEntry> &entries)
{
    entries.clear();
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    QSet<QString> names;
    names.reserve(qsizetype(count));
    entries.reserve(qsizetype(count));
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        if (zip_stat_index(archive, zip_uint64_t(i), ZIP_FL_ENC_GUESS, &stat) != 0 || !stat.name)
            return open_failure(ZIP_ER_INCONS, {});
        ArchiveEntry entry;
        entry.name = QString::fromUtf8(stat.name);
        entry.index = zip_uint64_t(i);
        entry.size = qint64(qMin<zip_uint64_t>(stat.size, INT64_MAX));
        entry.compressedSize = qint64(qMin<zip_uint64_t>(stat.comp_size, INT64_MAX));
        entry.method = stat.comp_method;
        entry.encrypted = stat.encryption_method != ZIP_EM_NONE;
        entry.unsafeName = is_unsafe_entry_name(entry.name);
        if (names.contains(entry.name)) {
            return archive_failure(
                ArchiveStatus::DuplicateName,
                QStringLiteral("The archive holds two entries named %1.").arg(quoted_name(entry)));
        }
        names.insert(entry.name);
        if (!isFolder(entry.name))
            entries.append(entry);
    }
    return {};
}

// Every archive on disk is opened through our own file source, whose large blocks spare the
// system calls that dominate listing and rewriting a big archive.
zip_t *open_zip(const QString &path, int flags, ArchiveResult &result)
{
    if (result = refuseEmpty(path); !result)
        return nullptr;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = file_source_create(path, &error);
    zip_t *opened = source ? zip_open_from_source(source, flags, &error) : nullptr;
    if (!opened) {
        if (source)
            zip_source_free(source);
        result = fileOpenFailure(path, zip_error_code_zip(&error));
    }
    zip_error_fini(&error);
    return opened;
}

bool is_unsafe_entry_name(const QString &name)
{
    const auto separator = [&](qsizetype i) { return name[i] == u'/' || name[i] == u'\\'; };
    if (name.isEmpty() || separator(0))
        return true;
    if (name.size() >= 2 && name[1] == u':' && name[0].isLetter())
        return true;
    for (qsizetype at = name.indexOf(QLatin1String("..")); at >= 0;
         at = name.indexOf(QLatin1String(".."), at + 1)) {
        const bool stepStarts = at == 0 || separator(at - 1);
        const bool stepEnds = at + 2 == name.size() || separator(at + 2);
        if (stepStarts && stepEnds)
            return true;
    }
    return false;
}
