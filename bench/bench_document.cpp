#include "bench/floor_reporter.h"
#include "bench/largest_weapon.h"
#include "document/weapon_file.h"
#include "document/weapon_tree.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <unistd.h>

namespace
{

// The largest file, written once on first use; a save goes to a second file so that every load
// reads the same bytes, and the in-place save to a third that has a second name, which rules out
// a replace.
struct BenchFiles {
    QTemporaryDir dir;
    QByteArray bytes = largest_weapon_file();
    QString source = dir.filePath(QStringLiteral("largest.txt"));
    QString saved = dir.filePath(QStringLiteral("saved.txt"));
    QString linked = dir.filePath(QStringLiteral("linked.txt"));

    BenchFiles()
    {
        QFile file(source);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            source.clear();
        file.close();
        if (!QFile::copy(source, linked) ||
            ::link(
                QFile::encodeName(linked).constData(),
                QFile::encodeName(dir.filePath(QStringLiteral("second name.txt"))).constData()) !=
                0)
            linked.clear();
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

// The first line read in pieces, up to its CR, with no look at what the file is or how large:
// the least an Open can do, against which the checks and the keeping of the rest are measured.
bool readFirstLineUnchecked(const QString &path, QByteArray &line)
{
    line.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    while (true) {
        const QByteArray chunk = file.read(1 << 16);
        if (chunk.isEmpty())
            return file.error() == QFileDevice::NoError;
        if (const qsizetype cr = chunk.indexOf('\r'); cr >= 0) {
            line.append(chunk.left(cr));
            return true;
        }
        line.append(chunk);
    }
}

void openChecked(benchmark::State &state)
{
    useHeapAsLoadDoes();
    WeaponTree tree;
    WeaponOrigin origin;
    for (auto _ : state) {
        if (!load_weapon(tree, files().source, &origin)) {
            state.SkipWithError("the largest file does not load");
            break;
        }
    }
}

void openUnchecked(benchmark::State &state)
{
    useHeapAsLoadDoes();
    WeaponTree tree;
    QByteArray line;
    for (auto _ : state) {
        const WeaponTreeBatch batch(tree);
        tree.nodes().Clear();
        if (!readFirstLineUnchecked(files().source, line) || !build_weapon_tree(tree, line)) {
            state.SkipWithError("the largest file does not load");
            break;
        }
    }
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

// Saves the largest document over target through its origin, as the window does.
void saveOver(benchmark::State &state, const QString &target)
{
    WeaponTree tree;
    WeaponOrigin origin;
    if (target.isEmpty() || !load_weapon(tree, files().source, &origin))
        state.SkipWithError("the largest file does not load");
    origin.path = target;
    for (auto _ : state) {
        if (!save_weapon(tree, origin)) {
            state.SkipWithError("the largest document cannot be saved");
            break;
        }
    }
    // The floor writes the file's own bytes; the figure has to have written the same.
    QFile saved(target);
    if (saved.open(QIODevice::ReadOnly) && saved.readAll() != files().bytes)
        state.SkipWithError("the save wrote other bytes than the file held");
}

void saveWeapon(benchmark::State &state) { saveOver(state, files().saved); }

void saveWeaponInPlace(benchmark::State &state) { saveOver(state, files().linked); }

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
    registerWithFloor("open_with_checks", openChecked, openUnchecked);
    registerWithFloor("save_weapon", saveWeapon, saveFloor);
    registerWithFloor("save_weapon_in_place", saveWeaponInPlace, saveFloor);
    return runWithFloors();
}
