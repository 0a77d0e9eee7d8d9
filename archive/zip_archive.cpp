#include "archive/zip_archive.h"

#include "archive/deflated_source.h"
#include "archive/file_source.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <zip.h>

#include <algorithm>
#include <ctime>

namespace
{

ArchiveResult failure(ArchiveStatus status, const QString &reason) { return {status, reason}; }

QString quoted(const ArchiveEntry &entry) { return QLatin1Char('"') + entry.name + '"'; }

// A local file header's signature: a file that starts with one but has no table of contents at
// its end is a zip that was cut short, not some other kind of file.
bool startsLikeZip(QByteArrayView start) { return start.startsWith("PK\x03\x04"); }

// systemDetail says why the system refused, when it did; libzip keeps only its own code.
ArchiveResult openFailure(int code, QByteArrayView start, const QString &systemDetail = {})
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString detail = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    switch (code) {
    case ZIP_ER_NOZIP:
        if (startsLikeZip(start)) {
            return failure(ArchiveStatus::Damaged,
                           QStringLiteral("The archive is cut short: its table of contents is "
                                          "missing."));
        }
        return failure(ArchiveStatus::NotZip, QStringLiteral("The file is not a zip archive."));
    case ZIP_ER_INCONS:
        return failure(ArchiveStatus::Damaged,
                       QStringLiteral("The archive is damaged or cut short (%1).").arg(detail));
    default:
        return failure(ArchiveStatus::CannotRead,
                       QStringLiteral("The archive cannot be read: %1")
                           .arg(systemDetail.isEmpty() ? detail : systemDetail));
    }
}

// What libzip said went wrong with one entry, in the user's words.
ArchiveResult entryFailure(const ArchiveEntry &entry, zip_error_t *error)
{
    switch (zip_error_code_zip(error)) {
    case ZIP_ER_CRC:
        return failure(ArchiveStatus::Damaged,
                       QStringLiteral("The entry %1 is damaged: its contents do not match their "
                                      "checksum.")
                           .arg(quoted(entry)));
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
    case ZIP_ER_ENCRNOTSUPP:
        return failure(ArchiveStatus::Encrypted,
                       QStringLiteral("The entry %1 is encrypted.").arg(quoted(entry)));
    default:
        return failure(ArchiveStatus::Damaged,
                       QStringLiteral("The entry %1 cannot be unpacked: %2")
                           .arg(quoted(entry), QString::fromUtf8(zip_error_strerror(error))));
    }
}

bool isFolder(const QString &name) { return name.endsWith(u'/'); }

ArchiveResult collectEntries(zip_t *archive, QList<ArchiveEntry> &entries)
{
    entries.clear();
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    QSet<QString> names;
    names.reserve(qsizetype(count));
    entries.reserve(qsizetype(count));
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        if (zip_stat_index(archive, zip_uint64_t(i), ZIP_FL_ENC_GUESS, &stat) != 0 || !stat.name)
            return openFailure(ZIP_ER_INCONS, {});
        ArchiveEntry entry;
        entry.name = QString::fromUtf8(stat.name);
        entry.index = zip_uint64_t(i);
        entry.size = qint64(qMin<zip_uint64_t>(stat.size, INT64_MAX));
        entry.compressedSize = qint64(qMin<zip_uint64_t>(stat.comp_size, INT64_MAX));
        entry.method = stat.comp_method;
        entry.encrypted = stat.encryption_method != ZIP_EM_NONE;
        entry.unsafeName = is_unsafe_entry_name(entry.name);
        if (names.contains(entry.name)) {
            return failure(
                ArchiveStatus::DuplicateName,
                QStringLiteral("The archive holds two entries named %1.").arg(quoted(entry)));
        }
        names.insert(entry.name);
        if (!isFolder(entry.name))
            entries.append(entry);
    }
    return {};
}

ArchiveResult fileOpenFailure(const QString &path, int code)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return openFailure(code, {}, file.errorString());
    return openFailure(code, file.read(4));
}

// libzip takes an empty file for an empty archive; nobody hands us one of those on purpose.
ArchiveResult refuseEmpty(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists() && info.isFile() && info.size() == 0)
        return failure(ArchiveStatus::NotZip, QStringLiteral("The file is empty."));
    return {};
}

// Every archive on disk is opened through our own file source, whose large blocks spare the
// system calls that dominate listing and rewriting a big archive.
zip_t *openZip(const QString &path, int flags, ArchiveResult &result)
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

} // namespace

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

void ArchiveReader::Discard::operator()(zip *archive) const { zip_discard(archive); }

ArchiveReader::ArchiveReader() = default;
ArchiveReader::~ArchiveReader() = default;

ArchiveResult ArchiveReader::adopt(zip *archive)
{
    m_zip.reset(archive);
    ArchiveResult result = collectEntries(archive, m_entries);
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
    zip_t *opened = openZip(archive, ZIP_RDONLY, result);
    return opened ? adopt(opened) : result;
}

ArchiveResult ArchiveReader::openBytes(const QByteArray &bytes)
{
    m_zip.reset();
    m_entries.clear();
    if (bytes.isEmpty())
        return failure(ArchiveStatus::NotZip, QStringLiteral("The file is empty."));
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
        return openFailure(code, QByteArrayView(bytes).first(qMin(bytes.size(), qsizetype(4))));
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
        return failure(ArchiveStatus::CannotRead, QStringLiteral("No archive is open."));
    if (entry.encrypted) {
        return failure(ArchiveStatus::Encrypted,
                       QStringLiteral("The entry %1 is encrypted.").arg(quoted(entry)));
    }
    if (!zip_compression_method_supported(entry.method, 0)) {
        return failure(ArchiveStatus::UnsupportedMethod,
                       QStringLiteral("The entry %1 is packed with a method (number %2) that "
                                      "cannot be unpacked here.")
                           .arg(quoted(entry))
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
        return failure(ArchiveStatus::Damaged,
                       QStringLiteral("The entry %1 is damaged: it does not hold the %2 bytes it "
                                      "declares.")
                           .arg(quoted(entry))
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
        return failure(
            ArchiveStatus::NoSuchEntry,
            QStringLiteral("The archive no longer holds the entry %1.").arg(quoted(entry)));
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
        return failure(ArchiveStatus::NoSuchEntry,
                       QStringLiteral("The archive holds no entry named \"%1\".").arg(name));
    }
    return reader.read(*found, maxBytes, bytes);
}

namespace
{

struct CloseOrDiscard {
    void operator()(zip_t *archive) const { zip_discard(archive); }
};
using WritableZip = std::unique_ptr<zip_t, CloseOrDiscard>;

ArchiveResult writeFailure(zip_t *archive)
{
    return failure(ArchiveStatus::CannotWrite,
                   QStringLiteral("The archive cannot be written: %1")
                       .arg(QString::fromUtf8(zip_error_strerror(zip_get_error(archive)))));
}

ArchiveResult writable(const ArchiveEntry *entry, const QString &name)
{
    if (!entry) {
        return failure(ArchiveStatus::NoSuchEntry,
                       QStringLiteral("The archive holds no entry named \"%1\".").arg(name));
    }
    if (entry->encrypted) {
        return failure(ArchiveStatus::Encrypted,
                       QStringLiteral("The entry %1 is encrypted.").arg(quoted(*entry)));
    }
    if (!zip_compression_method_supported(entry->method, 1)) {
        return failure(ArchiveStatus::UnsupportedMethod,
                       QStringLiteral("The entry %1 is packed with a method (number %2) that "
                                      "cannot be packed here.")
                           .arg(quoted(*entry))
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
    ArchiveResult opened;
    WritableZip zip(openZip(archive, 0, opened));
    if (!zip)
        return opened;
    QList<ArchiveEntry> entries;
    if (ArchiveResult listed = collectEntries(zip.get(), entries); !listed)
        return listed;
    const auto found = std::find_if(entries.cbegin(), entries.cend(),
                                    [&](const ArchiveEntry &entry) { return entry.name == name; });
    const ArchiveEntry *entry = found == entries.cend() ? nullptr : &*found;
    if (ArchiveResult result = writable(entry, name); !result)
        return result;
    if (ArchiveResult result = replace(zip.get(), *entry, bytes); !result)
        return result;
    // On failure libzip removes its temporary file and leaves the archive untouched.
    if (zip_close(zip.get()) < 0)
        return writeFailure(zip.get());
    zip.release();
    return {};
}
