#include "archive/zip_archive.h"

#include "archive/deflated_source.h"
#include "archive/zip_open.h"

#include <zip.h>

#include <algorithm>
#include <ctime>
#include <memory>

namespace
{

struct CloseOrDiscard {
    void operator()(zip_t *archive) const { zip_discard(archive); }
};
using WritableZip = std::unique_ptr<zip_t, CloseOrDiscard>;

ArchiveResult writeFailure(zip_t *archive)
{
    return archive_failure(ArchiveStatus::CannotWrite,
                           QStringLiteral("The archive cannot be written: %1")
                               .arg(QString::fromUtf8(zip_error_strerror(zip_get_error(archive)))));
}

ArchiveResult writable(const ArchiveEntry *entry, const QString &name)
{
    if (!entry) {
        return archive_failure(
            ArchiveStatus::NoSuchEntry,
            QStringLiteral("The archive holds no entry named \"%1\".").arg(name));
    }
    if (entry->encrypted) {
        return archive_failure(
            ArchiveStatus::Encrypted,
            QStringLiteral("The entry %1 is encrypted.").arg(quoted_name(*entry)));
    }
    if (!zip_compression_method_supported(entry->method, 1)) {
        return archive_failure(
            ArchiveStatus::UnsupportedMethod,
            QStringLiteral("The entry %1 is packed with a method (number %2) that "
                           "cannot be packed here.")
                .arg(quoted_name(*entry))
                .arg(entry->method));
    }
    return {};
}

// Everything but the closing: libzip writes nothing to disk before zip_close().
ArchiveResult replace(zip_t *archive, const ArchiveEntry &entry, const QByteArray &bytes)
{
    zip_source_t *source =
        entry.method == ZIP_CM_DEFLATE
            ? deflated_source_create(bytes, zip_get_error(archive))
            : zip_source_buffer(archive, bytes.constData(), zip_uint64_t(bytes.size()), 0);
    if (!source)
        return writeFailure(archive);
    if (zip_file_replace(archive, entry.index, source, 0) < 0) {
        zip_source_free(source);
        return writeFailure(archive);
    }
    if (zip_set_file_compression(archive, entry.index, entry.method, 0) < 0 ||
        zip_file_set_mtime(archive, entry.index, std::time(nullptr), 0) < 0)
        return writeFailure(archive);
    return {};
}

} // namespace

ArchiveResult write_entry(const QString &archive, const QString &name, const QByteArray &bytes)
{
    return write_entries(archive, {{name, bytes}});
}

ArchiveResult write_entries(const QString &archive,
                            const QList<std::pair<QString, QByteArray>> &replacements)
{
    ArchiveResult opened;
    WritableZip zip(open_zip(archive, 0, opened));
    if (!zip)
        return opened;
    QList<ArchiveEntry> entries;
    if (ArchiveResult listed = collect_entries(zip.get(), entries); !listed)
        return listed;
    for (const auto &replacement : replacements) {
        const QString &name = replacement.first;
        const auto found = std::find_if(entries.cbegin(), entries.cend(),
                                        [&](const auto &entry) { return entry.name == name; });
        const ArchiveEntry *entry = found == entries.cend() ? nullptr : &*found;
        if (ArchiveResult result = writable(entry, name); !result)
            return result;
        if (ArchiveResult result = replace(zip.get(), *entry, replacement.second); !result)
            return result;
    }
    // On failure libzip removes its temporary file and leaves the archive untouched.
    if (zip_close(zip.get()) < 0)
        return writeFailure(zip.get());
    static_cast<void>(zip.release()); // a closed archive is freed by zip_close itself
    return {};
}
