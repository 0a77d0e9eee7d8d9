#include "archive/zip_archive.h"
#include "archive/zip_bytes.h"
#include "archive/zip_layout.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Any input is an archive's whole content, read from memory. Every entry is listed and read, in
// part and whole, under a limit small enough that a bomb would show in the run's memory.

namespace
{

constexpr qint64 kLimit = 1 << 20;
constexpr qint64 kStart = 64;
// Past this many entries an input teaches nothing new and only slows the run.
constexpr int kMostEntries = 64;

void check(bool holds, const char *what, const ArchiveEntry *entry = nullptr)
{
    if (holds)
        return;
    std::fprintf(stderr, "archive invariant broken%s%s: %s\n", entry ? " at " : "",
                 entry ? qPrintable(entry->name) : "", what);
    std::abort();
}

void checkResult(const ArchiveResult &result, const ArchiveEntry *entry = nullptr)
{
    check(result.ok() == result.reason.isEmpty(), "a failure says why, a success says nothing",
          entry);
}

void checkEntry(ArchiveReader &reader, const ArchiveEntry &entry)
{
    check(entry.unsafeName == is_unsafe_entry_name(entry.name), "unsafe names are flagged", &entry);
    check(!entry.name.endsWith(u'/'), "folders are not listed", &entry);
    check(!entry.nameReadable || reader.find(entry.name) == &entry, "a name finds its own entry",
          &entry);

    QByteArray start;
    const ArchiveResult started = reader.readStart(entry, kStart, start);
    checkResult(started, &entry);
    check(started ? start.size() == qMin(entry.size, kStart) : start.isEmpty(),
          "a start is as long as asked for, or nothing", &entry);

    QByteArray whole;
    const ArchiveResult read = reader.read(entry, kLimit, whole);
    checkResult(read, &entry);
    check(read ? whole.size() == entry.size : whole.isEmpty(),
          "an entry holds its declared size, or nothing", &entry);
    if (entry.size > kLimit)
        check(!read, "an entry over the limit is refused", &entry);
    if (read && started)
        check(whole.startsWith(start), "the start is the entry's start", &entry);
    if (entry.encrypted && entry.nameReadable)
        check(read.status == ArchiveStatus::Encrypted, "encrypted entries are refused", &entry);
    if (!entry.nameReadable)
        check(!read && !started, "an entry with a broken name is refused", &entry);
}

// Rewriting one entry leaves an archive that lists the same entries and reads the others alike.
void checkRewrite(const QString &path, ArchiveReader &before)
{
    const auto first = std::find_if(before.entries().cbegin(), before.entries().cend(),
                                    [](const ArchiveEntry &e) { return e.nameReadable; });
    if (first == before.entries().cend())
        return;
    const QByteArray weapon("H\\k\\v");
    QByteArray rewritten;
    ArchiveMemo learnt;
    const ArchiveResult written =
        rewrite_entries(path, {{first->name, weapon}}, rewritten, {}, &learnt);
    checkResult(written);
    if (!written)
        return;
    ArchiveReader after;
    check(after.openBytes(rewritten).ok(), "a rewritten archive opens");
    ZipLayout fresh;
    check(read_zip_layout(*zip_bytes_in_memory(rewritten), fresh).ok() && learnt.layout() &&
              *learnt.layout() == fresh,
          "what a rewrite learns of its archive is what reading it finds");
    check(after.entries().size() == before.entries().size(), "a rewrite keeps every entry");
    for (qsizetype i = 0; i < qMin(after.entries().size(), qsizetype(kMostEntries)); ++i) {
        const ArchiveEntry &entry = after.entries()[i];
        check(entry.name == before.entries()[i].name, "a rewrite keeps the names", &entry);
        QByteArray now;
        QByteArray then;
        const ArchiveResult read = after.read(entry, kLimit, now);
        if (entry.name == first->name) {
            check(read && now == weapon, "the rewritten entry holds the new bytes", &entry);
            continue;
        }
        check(read.status == before.read(before.entries()[i], kLimit, then).status && now == then,
              "a rewrite keeps the other entries' bytes", &entry);
    }
}

// The same archive read from a file goes through the file's descriptor instead of memory; both
// must see the same entries and the same bytes.
void checkOnDisk(const QByteArray &bytes, ArchiveReader &inMemory, const ArchiveResult &opened)
{
    // Named, so that the folder a crash leaves behind is known for what it is.
    static const QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/armsmith-fuzz-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("archive.zip"));
    QFile file(path);
    check(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(),
          "the input is written to disk");
    file.close();
    ArchiveReader onDisk;
    check(onDisk.open(path).status == opened.status, "disk and memory agree on the archive");
    check(onDisk.entries().size() == inMemory.entries().size(), "disk and memory list alike");
    for (qsizetype i = 0; i < qMin(onDisk.entries().size(), qsizetype(kMostEntries)); ++i) {
        const ArchiveEntry &entry = onDisk.entries()[i];
        check(entry.name == inMemory.entries()[i].name, "disk and memory name alike", &entry);
        QByteArray fromDisk;
        QByteArray fromMemory;
        const ArchiveResult read = onDisk.read(entry, kLimit, fromDisk);
        check(read.status == inMemory.read(inMemory.entries()[i], kLimit, fromMemory).status &&
                  fromDisk == fromMemory,
              "disk and memory read alike", &entry);
    }
    if (opened)
        checkRewrite(path, onDisk);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    ArchiveReader reader;
    const ArchiveResult opened = reader.openBytes(bytes);
    checkResult(opened);
    // The disk costs far more than the rest: a marker byte picks the inputs that go through it.
    if (size > 0 && data[size - 1] == 0x7f)
        checkOnDisk(bytes, reader, opened);
    if (!opened) {
        check(reader.entries().isEmpty(), "a refused archive lists nothing");
        return 0;
    }
    QSet<QString> names;
    const QList<ArchiveEntry> &entries = reader.entries();
    for (qsizetype i = 0; i < qMin(entries.size(), qsizetype(kMostEntries)); ++i) {
        const ArchiveEntry &entry = entries[i];
        check(!entry.nameReadable || !names.contains(entry.name), "no two entries share a name",
              &entry);
        if (entry.nameReadable)
            names.insert(entry.name);
        checkEntry(reader, entry);
    }
    return 0;
}
