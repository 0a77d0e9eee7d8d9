#include "bench/floor_reporter.h"
#include "bench/largest_weapon.h"
#include "bench/quiet_offscreen.h"
#include "bench/shown_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QSaveFile>
#include <QUndoStack>

#include <benchmark/benchmark.h>

namespace
{

// Holds no node text of the largest file (whose texts are letters, digits and windows-1252
// letters), but is short enough that every text has to be looked through.
const QString kAbsentText = QStringLiteral("q~z");

// The largest file's header and last pair alone: a keystroke on its value then draws the same
// texts as on the largest document, and only the size of the document differs.
QByteArray lastPairOf(const QByteArray &file)
{
    const QList<QByteArray> tokens = file.split('\\');
    return tokens.first() + '\\' + tokens.value(tokens.size() - 2) + '\\' + tokens.last();
}

struct BenchFiles {
    QTemporaryDir dir;
    QByteArray largestBytes = largest_weapon_file();
    QString largest = write(QStringLiteral("largest.txt"), largestBytes);
    QString onePair = write(QStringLiteral("one_pair.txt"), lastPairOf(largestBytes));
    QString longValue = write(QStringLiteral("long_value.txt"), long_value_weapon_file());

    QString write(const QString &name, const QByteArray &bytes) const
    {
        return write_bench_file(dir, name, bytes);
    }
};

const BenchFiles &files()
{
    static const BenchFiles instance;
    return instance;
}

// The texts the floors build and scan: the document's own, read through the document core.
const QStringList &largestTexts()
{
    static const QStringList texts = node_texts_of(files().largest);
    return texts;
}

void openFile(benchmark::State &state, const QString &path)
{
    ShownWindow window;
    for (auto _ : state) {
        state.PauseTiming();
        window.form.tree().nodes().Clear();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        if (!window.open(path)) {
            state.SkipWithError("the file does not load");
            break;
        }
    }
    if (!window.keyShown(static_cast<NodeIndex>(window.form.tree().count() - 1)))
        state.SkipWithError("the open left the last key collapsed");
}

void openLargest(benchmark::State &state) { openFile(state, files().largest); }
void openLongValue(benchmark::State &state) { openFile(state, files().longValue); }

void openFloor(benchmark::State &state)
{
    FloorTree floor;
    for (auto _ : state) {
        state.PauseTiming();
        floor.widget.clear();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        floor.build(largestTexts());
        floor.widget.expandAll();
        settle(&floor.widget);
    }
}

// Expand All and Collapse All each start from the state the other leaves, set up untimed.
void toggleAll(benchmark::State &state, bool expand)
{
    const char *expandAll = "Toolbar1_Button5";
    const char *collapseAll = "Toolbar1_Button6";
    ShownWindow window;
    if (!window.open(files().largest))
        state.SkipWithError("the largest file does not load");
    for (auto _ : state) {
        state.PauseTiming();
        window.trigger(expand ? collapseAll : expandAll);
        QCoreApplication::processEvents();
        state.ResumeTiming();
        window.trigger(expand ? expandAll : collapseAll);
    }
    if (window.keyShown(kMaxNodes - 1) != expand)
        state.SkipWithError("the command left the last key in the other state");
}

void expandAll(benchmark::State &state) { toggleAll(state, true); }

void collapseAll(benchmark::State &state) { toggleAll(state, false); }

void toggleFloor(benchmark::State &state, void (QTreeView::*setUp)(), void (QTreeView::*measured)())
{
    FloorTree floor;
    floor.build(largestTexts());
    for (auto _ : state) {
        state.PauseTiming();
        (floor.widget.*setUp)();
        settle(&floor.widget);
        QCoreApplication::processEvents();
        state.ResumeTiming();
        (floor.widget.*measured)();
        settle(&floor.widget);
    }
}

void expandFloor(benchmark::State &state)
{
    toggleFloor(state, &QTreeView::collapseAll, &QTreeView::expandAll);
}

void collapseFloor(benchmark::State &state)
{
    toggleFloor(state, &QTreeView::expandAll, &QTreeView::collapseAll);
}

// One letter typed into the value box with the document's last value selected, at its end or in
// its middle, up to the repaint it causes, undo recording included; the letter is taken back
// untimed so that the value keeps its length. However many keystrokes, they are to leave one step
// to undo.
void typeInLastValue(benchmark::State &state, const QString &path, bool middle = false)
{
    ShownWindow window;
    if (!window.open(path)) {
        state.SkipWithError("the file does not load");
        return;
    }
    const NodeIndex last = window.form.tree().count();
    window.clickNode(last);
    const QString before = window.form.tree().text(last);
    const qsizetype at = middle ? before.size() / 2 : before.size();
    const QString typed = QString(before).insert(at, u'x');
    if (window.form.tree().selected() != last || window.text2->isReadOnly())
        state.SkipWithError("the last value is not selected for editing");
    QWidget *box = window.valueBox();
    for (auto _ : state) {
        state.PauseTiming();
        window.setBoxCursor(at);
        state.ResumeTiming();
        QTest::keyClick(box, Qt::Key_X);
        QCoreApplication::processEvents();
        state.PauseTiming();
        if (window.form.tree().text(last) != typed) {
            state.SkipWithError("the keystroke did not reach the document");
            break;
        }
        QTest::keyClick(box, Qt::Key_Backspace);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    const auto *steps = window.form.findChild<QUndoStack *>();
    state.counters["undo_steps"] = steps->count();
    if (steps->count() != 1)
        state.SkipWithError("the keystrokes on one node left more than one step to undo");
}

void keystroke(benchmark::State &state) { typeInLastValue(state, files().largest); }
void keystrokeOnOnePair(benchmark::State &state) { typeInLastValue(state, files().onePair); }
void keystrokeInLongValue(benchmark::State &state) { typeInLastValue(state, files().longValue); }
void keystrokeInLongValueMiddle(benchmark::State &state)
{
    typeInLastValue(state, files().longValue, true);
}

// A click on the last value, from the root, up to the value shown in the box for editing.
void showLastValue(benchmark::State &state, const QString &path)
{
    ShownWindow window;
    if (!window.open(path))
        state.SkipWithError("the file does not load");
    const NodeIndex last = window.form.tree().count();
    for (auto _ : state) {
        state.PauseTiming();
        window.clickNode(1);
        state.ResumeTiming();
        window.clickNode(last);
        settle(window.tv);
    }
    if (window.boxText() != window.form.tree().text(last))
        state.SkipWithError("the box does not show the whole value");
}

void showLastValueOfLargest(benchmark::State &state) { showLastValue(state, files().largest); }
void showLongValue(benchmark::State &state) { showLastValue(state, files().longValue); }

// Save after the last value's last letter was typed over. Every save writes the same bytes, which
// the file holds from then on; it is given back its own bytes at the end for the other figures.
// The file keeps its size: the long value's file is as large as Open takes.
void saveEdited(benchmark::State &state, const QString &path)
{
    ShownWindow window;
    if (!window.open(path))
        state.SkipWithError("the file does not load");
    const QByteArray before = [&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    window.clickNode(window.form.tree().count());
    QTest::keyClick(window.valueBox(), Qt::Key_Backspace);
    QTest::keyClick(window.valueBox(), Qt::Key_X);
    QCoreApplication::processEvents();
    for (auto _ : state)
        window.trigger("mnuSave");
    QFile file(path);
    const QByteArray saved = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    file.close();
    if (saved != before.chopped(3) + "x\r\n")
        state.SkipWithError("the save wrote other bytes than the document holds");
    if (!file.open(QIODevice::WriteOnly) || file.write(before) != before.size())
        state.SkipWithError("the file cannot be put back");
}

void saveLargest(benchmark::State &state) { saveEdited(state, files().largest); }

// One atomic write of the bytes the save above writes, into the same folder.
void saveFloor(benchmark::State &state)
{
    const QByteArray bytes = files().largestBytes.chopped(3) + "x\r\n";
    const QString path = files().dir.filePath(QStringLiteral("floor.txt"));
    for (auto _ : state) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() ||
            !file.commit()) {
            state.SkipWithError("the floor's file cannot be written");
            break;
        }
    }
}
void saveLongValue(benchmark::State &state) { saveEdited(state, files().longValue); }

// Search for a text no node holds, from the root: every text is looked through.
void searchAbsent(benchmark::State &state, const QString &path)
{
    ShownWindow window;
    if (!window.open(path))
        state.SkipWithError("the file does not load");
    window.form.findChild<QLineEdit *>(QStringLiteral("Text3"))->setText(kAbsentText);
    window.form.findChild<QCheckBox *>(QStringLiteral("Check1"))->setChecked(true);
    window.form.findChild<QCheckBox *>(QStringLiteral("Check2"))->setChecked(true);
    auto *search = window.form.findChild<QPushButton *>(QStringLiteral("cmdSearch"));
    window.clickNode(1);
    for (auto _ : state)
        search->click();
    if (window.form.tree().selected() != 1)
        state.SkipWithError("the search found a node");
}

void searchNothing(benchmark::State &state) { searchAbsent(state, files().largest); }
void searchLongValue(benchmark::State &state) { searchAbsent(state, files().longValue); }

void searchFloor(benchmark::State &state)
{
    const QStringList &texts = largestTexts();
    for (auto _ : state) {
        int found = 0;
        for (const QString &text : texts)
            found += text.contains(kAbsentText, Qt::CaseInsensitive) ? 1 : 0;
        benchmark::DoNotOptimize(found);
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
    registerWithFloor("open", openLargest, openFloor);
    registerWithFloor("expand_all", expandAll, expandFloor);
    registerWithFloor("collapse_all", collapseAll, collapseFloor);
    registerWithFloor("keystroke", keystroke, keystrokeOnOnePair);
    registerWithFloor("search_nothing", searchNothing, searchFloor);
    registerWithFloor("save", saveLargest, saveFloor);
    // A file of one very long value, each figure against the same command on the largest
    // document as its floor.
    registerWithFloor("long_value_open", openLongValue, openLargest);
    registerWithFloor("long_value_shown", showLongValue, showLastValueOfLargest);
    registerWithFloor("long_value_keystroke", keystrokeInLongValue, keystroke);
    registerWithFloor("long_value_keystroke_middle", keystrokeInLongValueMiddle, keystroke);
    registerWithFloor("long_value_search", searchLongValue, searchNothing);
    registerWithFloor("long_value_save", saveLongValue, saveLargest);
    return runWithFloors();
}
