#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <utility>

class ZipBytes;
struct ZipLayout;

enum class ArchiveStatus {
    Ok,
    CannotRead,
    NotZip,
    Damaged,
    DuplicateName,
    NoSuchEntry,
    Encrypted,
    TooLarge,
    UnsupportedMethod,
    CannotWrite,
    Cancelled,
};

// One file of an archive. The name is the path inside the archive, for showing and for finding
// the entry again; it is never used as a path on disk, so a name that climbs out of its folder
// (unsafeName) does no harm, but the user should see it for what it is.
struct ArchiveEntry {
    QString name;
    quint64 index = 0;
    qint64 size = 0;
    qint64 compressedSize = 0;
    quint16 method = 0;
    bool encrypted = false;
    bool unsafeName = false;
    // False when the name breaks the UTF-8 its entry promises: then the name shown is a guess
    // and the entry cannot be opened, while the rest of the archive can.
    bool nameReadable = true;

    bool operator==(const ArchiveEntry &) const = default;
};

struct ArchiveResult {
    ArchiveStatus status = ArchiveStatus::Ok;
    // A sentence for the user; empty on success.
    QString reason;

    bool ok() const { return status == ArchiveStatus::Ok; }
    explicit operator bool() const { return ok(); }
};

// Whether a name inside an archive would leave the folder it was unpacked into: an absolute
// path, a drive letter, or a ".." step.
bool is_unsafe_entry_name(const QString &name);

// An archive's table of contents as a reader read it or a rewrite wrote it, so that the next
// rewrite of that file need not read it again. It is used only while the file still ends in the
// very bytes it was made from; otherwise the archive is read afresh.
class ArchiveMemo
{
public:
    ArchiveMemo();
    ~ArchiveMemo();
    ArchiveMemo(ArchiveMemo &&) noexcept;
    ArchiveMemo &operator=(ArchiveMemo &&) noexcept;

    // What it holds, for a check against what a fresh read of the file finds.
    const ZipLayout *layout() const { return m_layout.get(); }

private:
    friend class ArchiveReader;
    friend class ArchiveRewrite;
    // The layout, moved into layout, when bytes end in the table of contents it describes.
    bool recall(const ZipBytes &bytes, ZipLayout &layout);

    std::unique_ptr<ZipLayout> m_layout;
    QByteArray m_tableOfContents; // the file's bytes from the central directory to its end
};

// An archive open for reading. Its table of contents is read once, so that reading many
// entries does not read it again for each.
class ArchiveReader
{
public:
    ArchiveReader();
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader &) = delete;
    ArchiveReader &operator=(const ArchiveReader &) = delete;

    // Refuses anything but a regular file, without waiting on a named pipe; a file that is not a
    // zip or is cut short; an archive whose entries share or overlap their bytes; and one with
    // two entries of the same name, since either of them could be the one a later save
    // replaces. An entry whose name cannot be read is listed, and only it is refused.
    ArchiveResult open(const QString &archive);
    // The same over an archive held in memory; bytes must outlive the reader.
    ArchiveResult openBytes(const QByteArray &bytes);

    // Every file entry, in archive order; folders are left out.
    const QList<ArchiveEntry> &entries() const { return m_entries; }
    const ArchiveEntry *find(const QString &name) const;

    // Up to maxBytes of the entry's start, unchecked against the entry's checksum.
    ArchiveResult readStart(const ArchiveEntry &entry, qint64 maxBytes, QByteArray &bytes);
    // The whole entry. An entry declared larger than maxBytes is refused before anything is
    // unpacked, and one that unpacks to more than it declared is cut off there and refused.
    ArchiveResult read(const ArchiveEntry &entry, qint64 maxBytes, QByteArray &bytes);

    // The table of contents as read, for the first rewrite of the archive; the reader reads no
    // more after it.
    ArchiveMemo takeMemo();

private:
    ArchiveResult adopt(std::unique_ptr<ZipBytes> bytes);
    ArchiveResult readable(const ArchiveEntry &entry) const;
    ArchiveResult readInto(const ArchiveEntry &entry, qint64 count, bool whole, QByteArray &bytes);

    std::unique_ptr<ZipBytes> m_bytes;
    std::unique_ptr<ZipLayout> m_layout;
    QList<ArchiveEntry> m_entries;
};

// The one-call forms of the reader, each opening the archive anew.
ArchiveResult list_entries(const QString &archive, QList<ArchiveEntry> &entries);
ArchiveResult read_entry(const QString &archive, const QString &name, qint64 maxBytes,
                         QByteArray &bytes);

// Told how far a long piece of work has come, out of total; answers false to cancel it.
using ArchiveProgress = std::function<bool(qint64 done, qint64 total)>;

// Takes the bytes of a new archive in order from its start; false when they cannot be kept,
// which stops the work.
using ArchiveSink = std::function<bool(QByteArrayView bytes)>;

// An archive with some entries' bytes replaced, each packed with the method it had and dated
// now. Every other entry keeps its local header, packed bytes, data descriptor and central
// record byte for byte, but for where its local header now lies; so do the bytes before the
// first entry and the archive's comment. The new archive goes out to a sink as it is made, so
// that it never has to be held in memory whole.
class ArchiveRewrite
{
public:
    ArchiveRewrite();
    ~ArchiveRewrite();
    ArchiveRewrite(const ArchiveRewrite &) = delete;
    ArchiveRewrite &operator=(const ArchiveRewrite &) = delete;

    // Reads the archive's table of contents, unless known still describes it, and starts packing
    // the new bytes; refuses, before anything is written, an entry that is missing or packed in
    // a way Armsmith cannot write. The archive stays open for write().
    ArchiveResult prepare(const QString &archive,
                          const QList<std::pair<QString, QByteArray>> &replacements,
                          ArchiveMemo known = {});
    // Gives the whole new archive to sink, once; the work reports to progress, which can cancel
    // it. The old archive is only read.
    ArchiveResult write(const ArchiveSink &sink, const ArchiveProgress &progress = {});
    // After a write that went through: the new archive's table of contents, for the next
    // rewrite of the file that holds it. Empty after any other outcome.
    ArchiveMemo takeMemo() { return std::move(m_memo); }

private:
    struct Plan;
    std::unique_ptr<Plan> m_plan;
    ArchiveMemo m_memo;
};

// The whole rewritten archive in memory, with one entry's bytes replaced (ArchiveRewrite).
ArchiveResult rewrite_entry(const QString &archive, const QString &name, const QByteArray &bytes,
                            QByteArray &rewritten, const ArchiveProgress &progress = {});
// The same for several entries at once, in one pass over the archive; learnt (when given) gets
// what the rewrite learnt of the new archive.
ArchiveResult rewrite_entries(const QString &archive,
                              const QList<std::pair<QString, QByteArray>> &replacements,
                              QByteArray &rewritten, const ArchiveProgress &progress = {},
                              ArchiveMemo *learnt = nullptr);
