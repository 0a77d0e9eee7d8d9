#include "archive/zip_archive.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

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
    check(reader.find(entry.name) == &entry, "a name finds its own entry", &entry);

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
    if (entry.encrypted)
        check(read.status == ArchiveStatus::Encrypted, "encrypted entries are refused", &entry);
}

// The same archive read from a file goes through our own file source instead of libzip's
// buffer; both must see the same entries and the same bytes.
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
        check(!names.contains(entry.name), "no two entries share a name", &entry);
        names.insert(entry.name);
        checkEntry(reader, entry);
    }
    return 0;
}
