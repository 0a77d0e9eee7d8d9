#include "archive/zip_archive.h"
#include "bench/durable_copy.h"
#include "bench/floor_reporter.h"
#include "bench/largest_weapon.h"
#include "bench/quiet_offscreen.h"
#include "document/weapon_file.h"
#include "editor/archive_chooser.h"
#include "tests/archive/zip_maker.h"
#include "weapons/archive_weapon.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <zip.h>

#include <cstdio>
#include <random>

namespace
{

constexpr int kEntries = 5000;
// One entry in ten is a weapon file; the rest stand for pictures and sounds, half of them
// stored as they are, half packed.
constexpr int kWeaponEvery = 10;
constexpr qsizetype kOtherSize = 30 * 1024;
const QString kEdited = QStringLiteral("weapons/largest.txt");

QByteArray otherEntry(std::mt19937 &random, bool packable)
{
    QByteArray bytes(kOtherSize, '\0');
    for (char &byte : bytes)
        byte = char(packable ? random() % 16 : random());
    return bytes;
}

QByteArray weaponEntry(int number)
{
    return "Weapon" + QByteArray::number(number) + "\\damage\\" + QByteArray::number(number % 97) +
           "\\range\\300\\sound\\sounds/fire" + QByteArray::number(number) + ".ogg\r\n";
}

// About 100 MB in 5,000 entries, written once; a save goes to a copy, so that every figure
// reads the same archive.
struct BenchArchive {
    QTemporaryDir dir;
    QString source = dir.filePath(QStringLiteral("game.pk3"));
    QString saved = dir.filePath(QStringLiteral("saved.pk3"));
    QString copied = dir.filePath(QStringLiteral("copied.pk3"));
    QByteArray edited = largest_weapon_file();
    QByteArray editedName = kEdited.toUtf8();

    BenchArchive()
    {
        if (!build() || !QFile::copy(source, saved))
            source.clear();
    }

    bool build()
    {
        std::mt19937 random(2026);
        QList<QByteArray> contents;
        int code = 0;
        zip_t *zip = zip_open(QFile::encodeName(source).constData(), ZIP_CREATE, &code);
        if (!zip)
            return false;
        for (int i = 0; i < kEntries; ++i) {
            const bool weapon = i % kWeaponEvery == 0;
            const QByteArray name = i == kEntries / 2 ? editedName
                                    : weapon          ? "weapons/w" + QByteArray::number(i) + ".txt"
                                                      : "data/d" + QByteArray::number(i) + ".bin";
            contents << (i == kEntries / 2 ? edited
                         : weapon          ? weaponEntry(i)
                                           : otherEntry(random, i % 2 == 1));
            zip_source_t *source = zip_source_buffer(zip, contents.last().constData(),
                                                     zip_uint64_t(contents.last().size()), 0);
            const zip_int64_t index = zip_file_add(zip, name.constData(), source, 0);
            const bool stored = !weapon && i % 2 == 0;
            if (index < 0 ||
                zip_set_file_compression(zip, index, stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0))
                break;
        }
        if (zip_close(zip) != 0) {
            zip_discard(zip);
            return false;
        }
        return true;
    }
};

const BenchArchive &archive()
{
    static const BenchArchive instance;
    return instance;
}

void listInChooser(benchmark::State &state)
{
    for (auto _ : state) {
        ArchiveReader reader;
        if (!reader.open(archive().source)) {
            state.SkipWithError("the archive does not open");
            break;
        }
        ArchiveChooser chooser(archive().source, find_weapon_entries(reader).weapons);
        chooser.show();
        QApplication::processEvents();
    }
}

// The least any chooser has to do: read the table of contents and unpack each entry's start.
void listFloor(benchmark::State &state)
{
    QByteArray start(kWeaponCheckBytes, '\0');
    for (auto _ : state) {
        int code = 0;
        zip_t *zip = zip_open(QFile::encodeName(archive().source).constData(), ZIP_RDONLY, &code);
        if (!zip) {
            state.SkipWithError("the archive does not open");
            break;
        }
        const zip_int64_t count = zip_get_num_entries(zip, 0);
        for (zip_int64_t i = 0; i < count; ++i) {
            zip_file_t *file = zip_fopen_index(zip, zip_uint64_t(i), 0);
            benchmark::DoNotOptimize(zip_fread(file, start.data(), zip_uint64_t(start.size())));
            zip_fclose(file);
        }
        zip_discard(zip);
    }
}

// One local header holding a 16 MiB weapon, and count central records that all point at it.
QByteArray sharedHeader(const QByteArray &weapon, const QByteArray &packed, int count)
{
    const QByteArray one = raw_zip({{"shared.txt", weapon, 0, {}, {}, -1, packed}});
    const qsizetype centralAt = one.indexOf("PK\x01\x02");
    QByteArray out = one.left(centralAt);
    for (int i = 0; i < count; ++i) {
        const QByteArray name = "weapons/shared" + QByteArray::number(i) + ".txt";
        QByteArray record = one.mid(centralAt, 46);
        record[28] = char(name.size());
        out += record + name;
    }
    const qint64 centralSize = out.size() - centralAt;
    out += "PK\x05\x06" + QByteArray(4, '\0');
    append_le(out, quint64(count), 2);
    append_le(out, quint64(count), 2);
    append_le(out, quint64(centralSize), 4);
    append_le(out, quint64(centralAt), 4);
    return out + QByteArray(2, '\0');
}

// Archives built to make a reader slow: 200 weapon entries of 16 MiB each, packed small, and
// 10,000 names that all point at one local header.
struct HostileArchives {
    QTemporaryDir dir;
    QString large = dir.filePath(QStringLiteral("large.pk3"));
    QString shared = dir.filePath(QStringLiteral("shared.pk3"));

    HostileArchives()
    {
        const QByteArray weapon =
            "Big\\damage\\1\\range\\" + QByteArray(kMaxWeaponFileBytes - 24, '7');
        QByteArray packed;
        int code = 0;
        zip_t *zip =
            zip_open(QFile::encodeName(large).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
        zip_source_t *source = zip_source_buffer(zip, weapon.constData(), weapon.size(), 0);
        zip_file_add(zip, "one.txt", source, 0);
        zip_close(zip);
        const QByteArray one = file_bytes(large);
        packed = one.mid(30 + 7, one.indexOf("PK\x01\x02") - 30 - 7);
        QList<RawEntry> entries;
        for (int i = 0; i < 200; ++i)
            entries.append(
                {"weapons/big" + QByteArray::number(i) + ".txt", weapon, 0, {}, {}, -1, packed});
        write_file(large, raw_zip(entries));
        write_file(shared, sharedHeader(weapon, packed, 10000));
    }
};

const HostileArchives &hostile()
{
    static const HostileArchives instance;
    return instance;
}

// Everything the chooser does before it shows: open, look at every entry, give the weapons.
void findWeapons(benchmark::State &state, const QString &path, qsizetype expected)
{
    qsizetype found = 0;
    for (auto _ : state) {
        ArchiveReader reader;
        found = reader.open(path) ? find_weapon_entries(reader).weapons.size() : 0;
    }
    if (found != expected)
        state.SkipWithError("the chooser found other weapon entries than the archive holds");
}

// The least any reader does: take in the table of contents and each entry's first bytes.
void startsFloor(benchmark::State &state, const QString &path)
{
    QByteArray start(kWeaponCheckBytes, '\0');
    for (auto _ : state) {
        int code = 0;
        zip_t *zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
        const zip_int64_t count = zip ? zip_get_num_entries(zip, 0) : 0;
        for (zip_int64_t i = 0; i < count; ++i) {
            zip_file_t *file = zip_fopen_index(zip, zip_uint64_t(i), 0);
            benchmark::DoNotOptimize(zip_fread(file, start.data(), zip_uint64_t(start.size())));
            zip_fclose(file);
        }
        if (zip)
            zip_discard(zip);
    }
}

// libzip taking in the table of contents, without looking into any entry.
void contentsFloor(benchmark::State &state, const QString &path)
{
    for (auto _ : state) {
        int code = 0;
        zip_t *zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
        benchmark::DoNotOptimize(zip ? zip_get_num_entries(zip, 0) : 0);
        if (zip)
            zip_discard(zip);
    }
}

void openEntry(benchmark::State &state)
{
    QByteArray bytes;
    for (auto _ : state) {
        if (!read_entry(archive().source, kEdited, kMaxWeaponFileBytes, bytes)) {
            state.SkipWithError("the entry does not open");
            break;
        }
    }
    if (bytes != archive().edited)
        state.SkipWithError("the entry read back other bytes than it holds");
}

void openFloor(benchmark::State &state)
{
    QByteArray bytes;
    for (auto _ : state) {
        int code = 0;
        zip_t *zip = zip_open(QFile::encodeName(archive().source).constData(), ZIP_RDONLY, &code);
        zip_stat_t stat;
        if (!zip || zip_stat(zip, archive().editedName.constData(), 0, &stat) != 0) {
            state.SkipWithError("the entry does not open");
            break;
        }
        bytes.resize(qsizetype(stat.size));
        zip_file_t *file = zip_fopen_index(zip, stat.index, 0);
        benchmark::DoNotOptimize(zip_fread(file, bytes.data(), stat.size));
        zip_fclose(file);
        zip_discard(zip);
    }
}

void saveEntry(benchmark::State &state)
{
    for (auto _ : state) {
        if (!write_archive_entry(archive().saved, kEdited, archive().edited)) {
            state.SkipWithError("the entry cannot be written back");
            break;
        }
    }
    QByteArray bytes;
    if (!read_entry(archive().saved, kEdited, kMaxWeaponFileBytes, bytes) ||
        bytes != archive().edited)
        state.SkipWithError("the rewritten archive does not hold the entry as written");
}

// A full rewrite cannot beat copying the file beside itself and renaming it over the old one.
// Both make sure the bytes are on the disk before the rename.
void saveFloor(benchmark::State &state)
{
    for (auto _ : state) {
        if (!copy_to_disk(archive().saved, archive().copied) ||
            std::rename(QFile::encodeName(archive().copied).constData(),
                        QFile::encodeName(archive().saved).constData()) != 0) {
            state.SkipWithError("the archive cannot be copied");
            break;
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    useQuietOffscreenPlatform();
    QApplication app(argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // Built before any figure is timed.
    if (archive().source.isEmpty()) {
        std::fprintf(stderr, "The benchmark archive cannot be written.\n");
        return 1;
    }
    registerWithFloor("archive_list_in_chooser", listInChooser, listFloor);
    registerWithFloor("archive_open_entry", openEntry, openFloor);
    registerWithFloor("archive_save_entry", saveEntry, saveFloor);
    registerWithFloor(
        "archive_chooser_200_entries_of_16_MiB",
        [](benchmark::State &state) { findWeapons(state, hostile().large, 200); },
        [](benchmark::State &state) { startsFloor(state, hostile().large); });
    registerWithFloor(
        "archive_10000_names_one_header",
        [](benchmark::State &state) { findWeapons(state, hostile().shared, 0); },
        [](benchmark::State &state) { contentsFloor(state, hostile().shared); });
    return runWithFloors();
}
