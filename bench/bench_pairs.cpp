#include "bench/floor_reporter.h"
#include "bench/largest_weapon.h"
#include "bench/quiet_offscreen.h"
#include "bench/shown_window.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QSaveFile>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <functional>

namespace
{

constexpr int kPairs = (kMaxNodes - 1) / 2;
constexpr int kPasted = 1000;

// The largest file's tokens up to the end of pair pairs, ended as the file is.
QByteArray firstPairsOf(const QByteArray &file, int pairs)
{
    const QList<QByteArray> tokens = file.split('\\');
    return tokens.mid(0, 1 + 2 * pairs).join('\\') + "\r\n";
}

// The largest document, and the same without its last kPasted pairs: pasted back after the
// first pair, those make the largest document again, as many nodes as a weapon can hold.
struct BenchFiles {
    QTemporaryDir dir;
    QByteArray largestBytes = largest_weapon_file();
    QString largest = write_bench_file(dir, QStringLiteral("largest.txt"), largestBytes);
    QString roomForPaste = write_bench_file(dir, QStringLiteral("room_for_paste.txt"),
                                            firstPairsOf(largestBytes, kPairs - kPasted));
    QStringList texts = node_texts_of(largest);
};

const BenchFiles &files()
{
    static const BenchFiles instance;
    return instance;
}

// The node texts of the largest document, numbered as the tree numbers them.
const QString &textOf(int node) { return files().texts[node - 1]; }

// A pair command on the window with selected clicked first. Each run is taken back untimed by
// Undo, so that every run makes the same change; made says whether it did.
void pairCommand(benchmark::State &state, const QString &path, NodeIndex selected,
                 const char *command, const std::function<bool(const WeaponTree &)> &made)
{
    ShownWindow window;
    if (!window.open(path)) {
        state.SkipWithError("the file does not load");
        return;
    }
    const WeaponTree &tree = window.form.tree();
    const NodeIndex count = tree.count();
    window.clickNode(selected);
    for (auto _ : state) {
        window.trigger(command);
        QCoreApplication::processEvents();
        state.PauseTiming();
        const bool done = made(tree);
        window.trigger("mnuUndo");
        QCoreApplication::processEvents();
        const bool undone = tree.count() == count && tree.selected() == selected;
        state.ResumeTiming();
        if (!done || !undone) {
            state.SkipWithError(done ? "undo did not take the change back" : "nothing changed");
            break;
        }
    }
}

void deleteFirst(benchmark::State &state)
{
    pairCommand(state, files().largest, 2, "mnuDeletePair", [](const WeaponTree &tree) {
        return tree.count() == kMaxNodes - 2 && tree.text(2) == textOf(4) && tree.selected() == 2;
    });
}

void moveUpSecond(benchmark::State &state)
{
    pairCommand(state, files().largest, 4, "mnuMoveUp", [](const WeaponTree &tree) {
        return tree.text(2) == textOf(4) && tree.text(4) == textOf(2) && tree.selected() == 2;
    });
}

void moveUpLast(benchmark::State &state)
{
    constexpr NodeIndex last = kMaxNodes - 1;
    constexpr NodeIndex before = last - 2;
    pairCommand(state, files().largest, last, "mnuMoveUp", [](const WeaponTree &tree) {
        return tree.text(before) == textOf(last) && tree.text(last) == textOf(before) &&
               tree.selected() == before;
    });
}

// The largest document's last kPasted pairs, as Copy Pairs puts them on the clipboard.
QString pastedText()
{
    QString text;
    for (int pair = kPairs - kPasted; pair < kPairs; ++pair)
        text += textOf(2 * pair + 2) + u'\\' + textOf(2 * pair + 3) + u'\n';
    return text;
}

void pasteAfterFirst(benchmark::State &state)
{
    QGuiApplication::clipboard()->setText(pastedText());
    pairCommand(state, files().roomForPaste, 2, "mnuPaste", [](const WeaponTree &tree) {
        constexpr NodeIndex firstPasted = 4;
        constexpr NodeIndex lastPasted = firstPasted + 2 * (kPasted - 1);
        return tree.count() == kMaxNodes && tree.selected() == firstPasted &&
               tree.text(firstPasted) == textOf(2 * (kPairs - kPasted) + 2) &&
               tree.text(lastPasted) == textOf(kMaxNodes - 1);
    });
}

// The floors: the largest document built in a plain QTreeWidget and every key opened, as Open
// leaves the window's tree; the same rows removed, moved or inserted there, the current row put
// where the window puts its selection, and the view settled as the window's is.
struct PairFloor : FloorTree {
    QTreeWidgetItem *root = nullptr;

    PairFloor()
    {
        build(files().texts);
        widget.expandAll();
        root = widget.topLevelItem(0);
        settle(&widget);
    }

    void show(QTreeWidgetItem *current)
    {
        widget.setCurrentItem(current);
        settle(&widget);
        QCoreApplication::processEvents();
    }

    void move(int from, int to)
    {
        QTreeWidgetItem *item = root->takeChild(from);
        root->insertChild(to, item);
        item->setExpanded(true);
        show(item);
    }
};

void deleteFloor(benchmark::State &state)
{
    PairFloor floor;
    floor.show(floor.root->child(0));
    for (auto _ : state) {
        delete floor.root->takeChild(0);
        floor.show(floor.root->child(0));
        state.PauseTiming();
        QTreeWidgetItem *first = floor.pair(textOf(2), textOf(3));
        floor.root->insertChild(0, first);
        first->setExpanded(true);
        floor.show(first);
        state.ResumeTiming();
    }
}

void moveFloor(benchmark::State &state, int from)
{
    PairFloor floor;
    floor.show(floor.root->child(from));
    for (auto _ : state) {
        floor.move(from, from - 1);
        state.PauseTiming();
        floor.move(from - 1, from);
        state.ResumeTiming();
    }
}

void moveUpSecondFloor(benchmark::State &state) { moveFloor(state, 1); }
void moveUpLastFloor(benchmark::State &state) { moveFloor(state, kPairs - 1); }

// The pasted pairs come in collapsed, as the window shows them. Taking them out one by one
// would cost more than the paste, so the tree is put back whole, untimed.
void pasteFloor(benchmark::State &state)
{
    PairFloor floor;
    for (auto _ : state) {
        state.PauseTiming();
        QList<QTreeWidgetItem *> kept = floor.root->takeChildren();
        qDeleteAll(kept.mid(kPairs - kPasted));
        kept.resize(kPairs - kPasted);
        floor.root->addChildren(kept);
        floor.widget.expandAll();
        floor.show(floor.root->child(0));
        QList<QTreeWidgetItem *> pasted;
        state.ResumeTiming();
        for (int pair = kPairs - kPasted; pair < kPairs; ++pair)
            pasted.append(floor.pair(textOf(2 * pair + 2), textOf(2 * pair + 3)));
        floor.root->insertChildren(1, pasted);
        floor.show(pasted.front());
    }
}

// Save As of the largest document to a new file, from the name given in the file dialog to the
// window showing the new file: what the user waits for once they answer. The dialog's closing
// is in it, and costs the same whatever is saved: Qt writes its own settings for the dialog
// and waits for the dialog's file-listing thread. document_save_as below is the save alone.
void saveAs(benchmark::State &state)
{
    ShownWindow window;
    if (!window.open(files().largest))
        state.SkipWithError("the file does not load");
    const QString target = files().dir.filePath(QStringLiteral("saved_as.txt"));
    bool timing = true;
    bool answered = true;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible() || answered)
            return;
        answered = true;
        // A file still highlighted in the list would outrank the typed name.
        if (auto *list = dialog->findChild<QAbstractItemView *>(QStringLiteral("listView")))
            list->clearSelection();
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(target);
        state.ResumeTiming();
        timing = true;
        static_cast<QDialog *>(dialog)->accept();
    });
    answer.start(1);
    for (auto _ : state) {
        state.PauseTiming();
        timing = answered = false;
        QFile::remove(target);
        window.trigger("mnuSaveAs");
        QCoreApplication::processEvents();
        if (!timing) {
            state.ResumeTiming();
            state.SkipWithError("the file dialog never came");
            break;
        }
    }
    QFile saved(target);
    if (!saved.open(QIODevice::ReadOnly) || saved.readAll() != files().largestBytes ||
        window.form.windowTitle() != QStringLiteral("saved_as.txt[*] - Zembrak Armsmith"))
        state.SkipWithError("Save As did not write the document to the new file");
}

void documentSaveAs(benchmark::State &state)
{
    WeaponDocument document;
    if (!document.openFile(files().largest))
        state.SkipWithError("the file does not load");
    const QString target = files().dir.filePath(QStringLiteral("document_saved_as.txt"));
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(target);
        state.ResumeTiming();
        if (!document.saveAs(target)) {
            state.SkipWithError("Save As failed");
            break;
        }
    }
}

// One atomic write of the same bytes to a new file in the same folder.
void saveAsFloor(benchmark::State &state)
{
    const QString path = files().dir.filePath(QStringLiteral("floor.txt"));
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(path);
        state.ResumeTiming();
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(files().largestBytes) != files().largestBytes.size() || !file.commit()) {
            state.SkipWithError("the floor's file cannot be written");
            break;
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    useQuietOffscreenPlatform();
    useThrowawaySettings();
    QApplication app(argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    registerWithFloor("delete_first_pair", deleteFirst, deleteFloor);
    registerWithFloor("move_up_second_pair", moveUpSecond, moveUpSecondFloor);
    registerWithFloor("move_up_last_pair", moveUpLast, moveUpLastFloor);
    registerWithFloor("paste_1000_after_first", pasteAfterFirst, pasteFloor);
    registerWithFloor("save_as", saveAs, saveAsFloor);
    registerWithFloor("document_save_as", documentSaveAs, saveAsFloor);
    return runWithFloors();
}
