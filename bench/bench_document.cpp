#include "bench/floor_reporter.h"
#include "bench/largest_weapon.h"
#include "document/weapon_file.h"
#include "document/weapon_tree.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace
{

// The largest file, written once on first use; a save goes to a second file so that every load
// reads the same bytes.
struct BenchFiles {
    QTemporaryDir dir;
    QByteArray bytes = largest_weapon_file();
    QString source = dir.filePath(QStringLiteral("largest.txt"));
    QString saved = dir.filePath(QStringLiteral("saved.txt"));

    BenchFiles()
    {
        QFile file(source);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            source.clear();
    }
};

const BenchFiles &files()
{
    static const BenchFiles instance;
    return instance;
}

void loadWeapon(benchmark::State &state)
{
    WeaponTree tree;
    for (auto _ : state) {
        if (!load_weapon(tree, files().source)) {
            state.SkipWithError("the largest file does not load");
            break;
        }
    }
}

// A load leaves the heap holding the freed pieces of the tree it replaced, and every load_weapon
// but the first works on such a heap. The floors meet the same heap, whatever ran before them:
// on a fresh heap the same allocations cost a fraction, and the ratio would measure the order
// of the benchmarks instead of the code.
void useHeapAsLoadDoes()
{
    WeaponTree tree;
    load_weapon(tree, files().source);
}

void loadFloor(benchmark::State &state)
{
    useHeapAsLoadDoes();
    for (auto _ : state) {
        QFile file(files().source);
        if (!file.open(QIODevice::ReadOnly)) {
            state.SkipWithError("the largest file cannot be read");
            break;
        }
        QStringList tokens = QString::fromLatin1(file.readAll()).split(u'\\');
        benchmark::DoNotOptimize(tokens);
    }
}

void saveWeapon(benchmark::State &state)
{
    WeaponTree tree;
    if (!load_weapon(tree, files().source))
        state.SkipWithError("the largest file does not load");
    for (auto _ : state) {
        if (!save_weapon(tree, files().saved)) {
            state.SkipWithError("the largest document cannot be saved");
            break;
        }
    }
    // The floor writes the file's own bytes; the figure has to have written the same.
    QFile saved(files().saved);
    if (saved.open(QIODevice::ReadOnly) && saved.readAll() != files().bytes)
        state.SkipWithError("the save wrote other bytes than the file held");
}

void saveFloor(benchmark::State &state)
{
    useHeapAsLoadDoes();
    for (auto _ : state) {
        QSaveFile file(files().saved);
        if (!file.open(QIODevice::WriteOnly) || file.write(files().bytes) != files().bytes.size() ||
            !file.commit()) {
            state.SkipWithError("the largest file cannot be written");
            break;
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    registerWithFloor("load_weapon", loadWeapon, loadFloor);
    registerWithFloor("save_weapon", saveWeapon, saveFloor);
    FloorReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
