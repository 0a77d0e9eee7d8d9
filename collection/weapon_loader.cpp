#include "collection/weapon_loader.h"

#include "archive/zip_archive.h"
#include "collection/natural_order.h"
#include "collection/weapon_entries.h"
#include "document/disk_file.h"
#include "document/weapon_file.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace
{

// How much of an archive entry's start is unpacked first: all of any usual weapon file, and
// enough to tell a picture or a sound from text.
constexpr qint64 kStartBytes = 4096;

// What our own careful save leaves behind when the program stops in the middle of a save.
bool isSaveBackup(const QString &name)
{
    static const QRegularExpression backup(QStringLiteral("^\\..+\\.backup-[A-Za-z0-9]{6}$"));
    return backup.match(name).hasMatch();
}

struct FolderScan {
    QString root;
    QSet<QString> seen; // canonical paths of the folders and files taken already
    QStringList files;
    QStringList paths; // each file's path relative to the folder scanned
    int others = 0;
};

bool inside(const QString &root, const QString &canonical)
{
    return canonical == root || canonical.startsWith(root + u'/');
}

// canonicalFolder is folder with every link resolved: an entry that is no link is then known
// without asking the file system, which would otherwise resolve each path anew.
void scanFolder(FolderScan &scan, const QString &folder, const QString &canonicalFolder,
                const QString &relative, int depth, const LoadProgress &progress)
{
    QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    // A file reached both by its own name and through a link is known by its own name.
    std::stable_partition(entries.begin(), entries.end(),
                          [](const QFileInfo &entry) { return !entry.isSymLink(); });
    for (const QFileInfo &entry : entries) {
        if (progress.cancel)
            return;
        const QString canonical = entry.isSymLink() ? entry.canonicalFilePath()
                                                    : canonicalFolder + u'/' + entry.fileName();
        if (canonical.isEmpty() || !inside(scan.root, canonical) || scan.seen.contains(canonical)) {
            ++scan.others;
            continue;
        }
        scan.seen.insert(canonical);
        // Reading refuses a file too large to be a weapon file, so its size is not asked here.
        if (entry.isDir() && depth < kMaxFolderDepth) {
            scanFolder(scan, entry.filePath(), canonical, relative + entry.fileName() + u'/',
                       depth + 1, progress);
        } else if (entry.isFile() && !isSaveBackup(entry.fileName())) {
            scan.files << entry.filePath();
            scan.paths << relative + entry.fileName();
        } else {
            ++scan.others;
        }
    }
}

// Sorts one file's bytes into the records, the not-loaded list or the count of others.
void take(LoadedWeapons &loaded, const QString &path, const QByteArray &bytes, WeaponOrigin origin)
{
    QByteArray line;
    split_weapon_bytes(bytes, line, origin.rest);
    thread_local std::vector<quint32> starts;
    QString reason;
    switch (classify_weapon_line(line, starts, reason)) {
    case WeaponLine::Weapon:
        loaded.records.emplace_back(path, std::move(line), starts, std::move(origin));
        break;
    case WeaponLine::Broken:
        loaded.notLoaded.append({path, reason});
        break;
    case WeaponLine::Other:
        ++loaded.otherFiles;
        break;
    }
}

void loadFolder(LoadedWeapons &loaded, LoadProgress &progress)
{
    FolderScan scan;
    scan.root = QFileInfo(loaded.source).canonicalFilePath();
    scan.seen.insert(scan.root);
    scanFolder(scan, loaded.source, scan.root, QString(), 0, progress);
    loaded.otherFiles = scan.others;
    progress.total = static_cast<int>(scan.files.size());
    for (qsizetype i = 0; i < scan.files.size(); ++i) {
        if (progress.cancel)
            return;
        const QString &file = scan.files[i];
        const QString &path = scan.paths[i];
        QByteArray bytes;
        DiskSnapshot disk;
        const WeaponFileResult read = read_listed_file(file, bytes, disk);
        if (read.status == WeaponFileStatus::CannotRead)
            loaded.notLoaded.append({path, read.reason});
        else if (!read)
            ++loaded.otherFiles;
        else
            take(loaded, path, bytes, {file, {}, {}, disk});
        ++progress.done;
    }
}

void loadArchive(LoadedWeapons &loaded, LoadProgress &progress)
{
    // Taken before the entries are read, so that a change made meanwhile is noticed at Save.
    const DiskSnapshot disk = disk_snapshot(loaded.source);
    ArchiveReader reader;
    if (const ArchiveResult opened = reader.open(loaded.source); !opened) {
        loaded.failure = opened.reason;
        return;
    }
    progress.total = static_cast<int>(reader.entries().size());
    for (const ArchiveEntry &entry : reader.entries()) {
        if (progress.cancel)
            return;
        ++progress.done;
        if (entry.size > kMaxWeaponFileBytes) {
            ++loaded.otherFiles;
            continue;
        }
        QByteArray bytes;
        ArchiveResult read = entry.size <= kStartBytes
                                 ? reader.read(entry, kStartBytes, bytes)
                                 : reader.readStart(entry, kStartBytes, bytes);
        // Only an entry that starts as text is unpacked whole: pictures and sounds stop here.
        if (read && bytes.size() < entry.size) {
            const qsizetype cr = bytes.indexOf('\r');
            if (is_text_line(cr < 0 ? QByteArrayView(bytes) : QByteArrayView(bytes).first(cr)))
                read = reader.read(entry, kMaxWeaponFileBytes, bytes);
        }
        if (!read)
            loaded.notLoaded.append({entry.name, read.reason});
        else if (bytes.size() < entry.size)
            ++loaded.otherFiles;
        else
            take(loaded, entry.name, bytes, {loaded.source, entry.name, {}, disk});
    }
    loaded.archiveMemo = reader.takeMemo();
}

} // namespace

LoadedWeapons load_weapons(const QString &source, LoadProgress &progress)
{
    LoadedWeapons loaded;
    const QFileInfo info(source);
    loaded.source = info.absoluteFilePath();
    loaded.archive = !info.isDir();
    if (!info.exists())
        loaded.failure = QStringLiteral("There is no such folder or archive.");
    else if (loaded.archive)
        loadArchive(loaded, progress);
    else
        loadFolder(loaded, progress);
    loaded.cancelled = progress.cancel;
    std::sort(loaded.records.begin(), loaded.records.end(),
              [](const WeaponRecord &a, const WeaponRecord &b) {
                  return natural_compare(a.path, b.path) < 0;
              });
    return loaded;
}
