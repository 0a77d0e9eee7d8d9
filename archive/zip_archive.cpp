#include "archive/zip_archive.h"

#include "archive/zip_open.h"

#include <zip.h>

namespace
{

ArchiveResult entryFailure(const ArchiveEntry &entry, zip_error_t *error)
{
    switch (zip_error_code_zip(error)) {
    case ZIP_ER_CRC:
        return archive_failure(
            ArchiveStatus::Damaged,
            QStringLiteral("The entry %1 is damaged: its contents do not match their "
                           "checksum.")
                .arg(quoted_name(entry)));
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
    case ZIP_ER_ENCRNOTSUPP:
        return archive_failure(
            ArchiveStatus::Encrypted,
            QStringLiteral("The entry %1 is encrypted.").arg(quoted_name(entry)));
    default:
        return archive_failure(
            ArchiveStatus::Damaged,
            QStringLiteral("The entry %1 cannot be unpacked: %2")
                .arg(quoted_name(entry), QString::fromUtf8(zip_error_strerror(error))));
    }
}

} // namespace

void ArchiveReader::Discard::operator()(zip *archive) const { zip_discard(archive); }

ArchiveReader::ArchiveReader() = default;
ArchiveReader::~ArchiveReader() = default;

ArchiveResult ArchiveReader::adopt(zip *archive)
{
    m_zip.reset(archive);
    ArchiveResult result = collect_entries(archive, m_entries);
    if (!result) {
        m_zip.reset();
        m_entries.clear();
    }
    return result;
}

ArchiveResult ArchiveReader::open(const QString &archive)
{
    m_zip.reset();
    m_entries.clear();
    ArchiveResult result;
    zip_t *opened = open_zip(archive, ZIP_RDONLY, result);
    return opened ? adopt(opened) : result;
}

ArchiveResult ArchiveReader::openBytes(const QByteArray &bytes)
{
    m_zip.reset();
    m_entries.clear();
    if (bytes.isEmpty())
        return archive_failure(ArchiveStatus::NotZip, QStringLiteral("The file is empty."));
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source =
        zip_source_buffer_create(bytes.constData(), zip_uint64_t(bytes.size()), 0, &error);
    zip_t *opened = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    const int code = zip_error_code_zip(&error);
    zip_error_fini(&error);
    if (!opened) {
        if (source)
            zip_source_free(source);
        return open_failure(code, QByteArrayView(bytes).first(qMin(bytes.size(), qsizetype(4))));
    }
    return adopt(opened);
}

const ArchiveEntry *ArchiveReader::find(const QString &name) const
{
    for (const ArchiveEntry &entry : m_entries) {
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

ArchiveResult ArchiveReader::readable(const ArchiveEntry &entry) const
{
    if (!m_zip)
        return archive_failure(ArchiveStatus::CannotRead, QStringLiteral("No archive is open."));
    if (entry.encrypted) {
        return archive_failure(
            ArchiveStatus::Encrypted,
            QStringLiteral("The entry %1 is encrypted.").arg(quoted_name(entry)));
    }
    if (!zip_compression_method_supported(entry.method, 0)) {
        return archive_failure(
            ArchiveStatus::UnsupportedMethod,
            QStringLiteral("The entry %1 is packed with a method (number %2) that "
                           "cannot be unpacked here.")
                .arg(quoted_name(entry))
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
        return archive_failure(
            ArchiveStatus::TooLarge,
            QStringLiteral("The entry %1 unpacks to %2 bytes, more than the %3 a "
                           "weapon file may hold.")
                .arg(quoted_name(entry))
                .arg(entry.size)
                .arg(maxBytes));
    }
    return readInto(entry, entry.size, true, bytes);
}

// Reads count bytes. Reading the whole entry reads one byte past its declared size as well:
// libzip checks the checksum only at the end of the data, and an entry that holds more than it
// declared is a bomb that must not be unpacked any further.
ArchiveResult ArchiveReader::readInto(const ArchiveEntry &entry, qint64 count, bool whole,
                                      QByteArray &bytes)
{
    zip_file_t *file = zip_fopen_index(m_zip.get(), entry.index, 0);
    if (!file)
        return entryFailure(entry, zip_get_error(m_zip.get()));
    const qint64 wanted = whole ? count + 1 : count;
    bytes.resize(qsizetype(wanted));
    qint64 got = 0;
    while (got < wanted) {
        const zip_int64_t step = zip_fread(file, bytes.data() + got, zip_uint64_t(wanted - got));
        if (step < 0) {
            ArchiveResult result = entryFailure(entry, zip_file_get_error(file));
            zip_fclose(file);
            bytes.clear();
            return result;
        }
        if (step == 0)
            break;
        got += step;
    }
    zip_fclose(file);
    bytes.resize(qsizetype(got));
    if (got != count) {
        bytes.clear();
        return archive_failure(
            ArchiveStatus::Damaged,
            QStringLiteral("The entry %1 is damaged: it does not hold the %2 bytes it "
                           "declares.")
                .arg(quoted_name(entry))
                .arg(entry.size));
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

ArchiveResult read_entry_start(const QString &archive, const ArchiveEntry &entry, qint64 maxBytes,
                               QByteArray &bytes)
{
    bytes.clear();
    ArchiveReader reader;
    if (ArchiveResult result = reader.open(archive); !result)
        return result;
    const ArchiveEntry *found = reader.find(entry.name);
    if (!found || found->index != entry.index) {
        return archive_failure(
            ArchiveStatus::NoSuchEntry,
            QStringLiteral("The archive no longer holds the entry %1.").arg(quoted_name(entry)));
    }
    return reader.readStart(*found, maxBytes, bytes);
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
        return archive_failure(
            ArchiveStatus::NoSuchEntry,
            QStringLiteral("The archive holds no entry named \"%1\".").arg(name));
    }
    return reader.read(*found, maxBytes, bytes);
}
