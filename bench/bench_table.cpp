#include "archive/zip_archive.h"
#include "bench/durable_copy.h"
#include "bench/floor_reporter.h"
#include "bench/quiet_offscreen.h"
#include "collection/csv_exchange.h"
#include "collection/save_all.h"
#include "collection/weapon_loader.h"
#include "document/careful_save.h"
#include "document/weapon_file.h"
#include "table/weapon_grid.h"
#include "table/weapon_table_model.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QUndoStack>

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <zip.h>

#include <random>

namespace
{

constexpr int kWeapons = 5000;
constexpr int kKeys = 300;
constexpr int kSaved = 100;

// 5,000 weapons of 20 to 60 pairs over 300 keys, mostly numbers, in 50 folders; and an archive
// of the same files. Made once; saves go to the same files, which stay weapons throughout.
struct Arsenal {
    QTemporaryDir dir;
    QString folder = dir.filePath(QStringLiteral("weapons"));
    QString archive = dir.filePath(QStringLiteral("game.pk3"));
    QString copy = dir.filePath(QStringLiteral("copy.pk3"));
    QList<std::pair<QString, QByteArray>> files;
    qint64 bytes = 0;

    Arsenal()
    {
        std::mt19937 random(2026);
        for (int i = 0; i < kWeapons; ++i) {
            QByteArray line = "Weapon" + QByteArray::number(i);
            std::vector<int> keys(kKeys);
            std::iota(keys.begin(), keys.end(), 0);
            std::shuffle(keys.begin(), keys.end(), random);
            const int pairs = 20 + int(random() % 41);
            for (int k = 0; k < pairs; ++k) {
                line += "\\key" + QByteArray::number(keys[k]) + '\\';
                line += k % 7 == 6 ? "sounds/fire" + QByteArray::number(random() % 90) + ".ogg"
                                   : QByteArray::number(int(random() % 2000) - 100);
            }
            files.append({QStringLiteral("set%1/weapon%2.wpn").arg(i % 50).arg(i), line + "\r\n"});
            bytes += line.size() + 2;
        }
        for (const auto &[name, content] : std::as_const(files)) {
            QDir().mkpath(QFileInfo(QDir(folder).filePath(name)).path());
            QFile file(QDir(folder).filePath(name));
            if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
                std::abort();
        }
        writeArchive();
    }

    void writeArchive()
    {
        int code = 0;
        zip_t *zip =
            zip_open(QFile::encodeName(archive).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
        for (const auto &[name, content] : std::as_const(files)) {
            zip_source_t *source =
                zip_source_buffer(zip, content.constData(), zip_uint64_t(content.size()), 0);
            zip_file_add(zip, name.toUtf8().constData(), source, 0);
        }
        if (zip_close(zip) != 0)
            std::abort();
    }
};

Arsenal &arsenal()
{
    static Arsenal made;
    return made;
}

std::unique_ptr<WeaponCollection> loadTable(const QString &source)
{
    LoadProgress progress;
    return std::make_unique<WeaponCollection>(load_weapons(source, progress));
}

void splitFirstLine(const QByteArray &bytes)
{
    const qsizetype cr = bytes.indexOf('\r');
    const QString line = QString::fromLatin1(cr < 0 ? bytes : bytes.first(cr));
    benchmark::DoNotOptimize(QStringView(line).split(u'\\'));
}

void openFolder(benchmark::State &state)
{
    for (auto _ : state) {
        const auto weapons = loadTable(arsenal().folder);
        QUndoStack undo;
        WeaponTableModel model(*weapons, undo);
        benchmark::DoNotOptimize(model.rowCount());
    }
}

void openFolderFloor(benchmark::State &state)
{
    for (auto _ : state) {
        for (const auto &[name, content] : std::as_const(arsenal().files)) {
            QFile file(QDir(arsenal().folder).filePath(name));
            if (!file.open(QIODevice::ReadOnly))
                std::abort();
            splitFirstLine(file.readAll());
        }
    }
}

void openArchive(benchmark::State &state)
{
    for (auto _ : state) {
        const auto weapons = loadTable(arsenal().archive);
        QUndoStack undo;
        WeaponTableModel model(*weapons, undo);
        benchmark::DoNotOptimize(model.rowCount());
    }
}

void openArchiveFloor(benchmark::State &state)
{
    for (auto _ : state) {
        int code = 0;
        zip_t *zip = zip_open(QFile::encodeName(arsenal().archive).constData(), ZIP_RDONLY, &code);
        for (zip_int64_t i = 0; i < zip_get_num_entries(zip, 0); ++i) {
            zip_stat_t stat;
            zip_stat_index(zip, zip_uint64_t(i), 0, &stat);
            QByteArray bytes(qsizetype(stat.size), '\0');
            zip_file_t *file = zip_fopen_index(zip, zip_uint64_t(i), 0);
            zip_fread(file, bytes.data(), stat.size);
            zip_fclose(file);
            splitFirstLine(bytes);
        }
        zip_discard(zip);
    }
}

// The table of the folder in a grid on the (offscreen) screen, as the user sees it.
struct ShownTable {
    std::unique_ptr<WeaponCollection> weapons = loadTable(arsenal().folder);
    QUndoStack undo;
    WeaponTableModel model{*weapons, undo};
    WeaponGrid grid;
    QLineEdit filter;

    ShownTable()
    {
        grid.setTableModel(&model);
        grid.resize(1200, 800);
        grid.show();
        QObject::connect(&filter, &QLineEdit::textChanged, &model, &WeaponTableModel::setRowFilter);
        QApplication::processEvents();
    }
    int column(const QString &key) const
    {
        return int(model.shownKeyColumns().indexOf(weapons->columnOf(key))) + 1;
    }
};

void sortNumeric(benchmark::State &state)
{
    ShownTable table;
    bool ascending = true;
    for (auto _ : state) {
        table.grid.sortByColumn(table.column(QStringLiteral("key1")),
                                ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
        QApplication::processEvents();
        ascending = !ascending;
    }
}

void filterKeystroke(benchmark::State &state)
{
    ShownTable table;
    table.filter.setText(QStringLiteral("1"));
    bool longer = true;
    for (auto _ : state) {
        table.filter.setText(longer ? QStringLiteral("13") : QStringLiteral("1"));
        QApplication::processEvents();
        longer = !longer;
    }
}

void setAllCellsAndUndo(benchmark::State &state)
{
    ShownTable table;
    QModelIndexList cells;
    const int column = table.column(QStringLiteral("key7"));
    for (int row = 0; row < table.model.rowCount(); ++row)
        cells << table.model.index(row, column);
    QString why;
    for (auto _ : state) {
        table.model.setCells(cells, QStringLiteral("42"), why);
        QApplication::processEvents();
        table.undo.undo();
        QApplication::processEvents();
    }
}

// The first hundred weapons get a new value for their first key, then Save All.
void changeHundred(WeaponCollection &weapons, int round)
{
    QList<CellEdit> edits;
    for (int row = 0; row < kSaved; ++row) {
        const int column = weapons.record(row).column(0);
        edits.append({row, column, weapons.value(row, column), QString::number(round)});
    }
    weapons.apply(edits, weapons.newStep());
}

QList<QByteArray> hundredFiles(const WeaponCollection &weapons)
{
    QList<QByteArray> bytes;
    for (int row = 0; row < kSaved; ++row) {
        QByteArray line;
        weapon_file_bytes(weapons.record(row).line(), {}, line);
        bytes << line;
    }
    return bytes;
}

void saveAllFiles(benchmark::State &state)
{
    const auto weapons = loadTable(arsenal().folder);
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        changeHundred(*weapons, ++round);
        state.ResumeTiming();
        if (save_all(*weapons, {}).written != kSaved)
            std::abort();
    }
}

void saveAllFilesFloor(benchmark::State &state)
{
    const auto weapons = loadTable(arsenal().folder);
    const QList<QByteArray> bytes = hundredFiles(*weapons);
    for (auto _ : state) {
        for (int row = 0; row < kSaved; ++row) {
            QSaveFile file(weapons->record(row).origin.path);
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes[row]) != bytes[row].size() ||
                !file.commit())
                std::abort();
        }
    }
}

void saveAllArchive(benchmark::State &state)
{
    const auto weapons = loadTable(arsenal().archive);
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        changeHundred(*weapons, ++round);
        state.ResumeTiming();
        if (save_all(*weapons, {}).written != kSaved)
            std::abort();
    }
}

// One copy of the archive, synced as Save All's own rewrite is.
void saveAllArchiveFloor(benchmark::State &state)
{
    for (auto _ : state) {
        if (!copy_to_disk(arsenal().archive, arsenal().copy))
            std::abort();
    }
}

void exportCsv(benchmark::State &state)
{
    const auto weapons = loadTable(arsenal().folder);
    for (auto _ : state) {
        if (!write_file_carefully(arsenal().dir.filePath(QStringLiteral("all.csv")),
                                  export_csv(*weapons)))
            std::abort();
    }
}

void exportCsvFloor(benchmark::State &state)
{
    const QByteArray csv = export_csv(*loadTable(arsenal().folder));
    for (auto _ : state) {
        QSaveFile file(arsenal().dir.filePath(QStringLiteral("floor.csv")));
        if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size() || !file.commit())
            std::abort();
    }
}

// The heap a loaded table takes, for each byte of the weapon files it holds.
void memory(benchmark::State &state)
{
    const size_t before = mallinfo2().uordblks;
    const auto weapons = loadTable(arsenal().folder);
    const double ratio = double(mallinfo2().uordblks - before) / double(arsenal().bytes);
    for (auto _ : state)
        benchmark::DoNotOptimize(weapons->size());
    state.counters["heap_per_file_byte"] = ratio;
    state.counters["file_bytes"] = double(arsenal().bytes);
}

} // namespace

int main(int argc, char *argv[])
{
    useQuietOffscreenPlatform();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    arsenal();
    registerWithFloor("open_table_folder", openFolder, openFolderFloor);
    registerWithFloor("open_table_archive", openArchive, openArchiveFloor);
    registerWithFloor("save_all_100_files", saveAllFiles, saveAllFilesFloor);
    registerWithFloor("save_all_100_archive_entries", saveAllArchive, saveAllArchiveFloor);
    registerWithFloor("export_csv_5000", exportCsv, exportCsvFloor);
    // These three have fixed targets (30, 20 and 50 ms) rather than floors.
    benchmark::RegisterBenchmark("sort_numeric_column", sortNumeric)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("filter_keystroke", filterKeystroke)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("set_5000_cells_and_undo", setAllCellsAndUndo)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("memory", memory)->Iterations(1);
    return runWithFloors();
}
