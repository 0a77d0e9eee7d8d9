#include "fuzz/weapon_checks.h"

#include "document/code_page.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace
{

[[noreturn]] void broken(const char *what, int node)
{
    std::fprintf(stderr, "weapon file invariant broken at node %d: %s\n", node, what);
    std::abort();
}

void check(bool holds, const char *what, int node = 0)
{
    if (!holds)
        broken(what, node);
}

QByteArrayView firstLine(QByteArrayView file)
{
    const qsizetype cr = file.indexOf('\r');
    return cr < 0 ? file : file.first(cr);
}

void checkKey(const WeaponTree &tree, int i)
{
    const auto index = static_cast<NodeIndex>(i);
    check(tree.parent(index) == 1, "a key hangs off the root", i);
    check(tree.kind(index) == NodeKind::Key, "even nodes are keys", i);
    check(tree.bold(index), "keys are bold", i);
    check(tree.image(index) == kImageKey, "keys show the key picture", i);
    check(tree.key(index) == tree.text(index), "a key's Key is its text", i);
    check(tree.row(index) == i / 2 - 1, "keys keep their file order", i);
    const bool hasValue = i < tree.count();
    check(tree.childCount(index) == (hasValue ? 1 : 0), "a key holds its one value", i);
    if (hasValue)
        check(tree.child(index, 0) == i + 1, "a key's child is the node after it", i);
}

void checkValue(const WeaponTree &tree, int i)
{
    const auto index = static_cast<NodeIndex>(i);
    check(tree.parent(index) == i - 1, "a value's parent is the key before it", i);
    check(tree.kind(index) == NodeKind::Value, "odd nodes past the root are values", i);
    check(!tree.bold(index), "values are not bold", i);
    check(tree.image(index) == kImageValue, "values show the value picture", i);
    check(!tree.key(index), "values have no Key", i);
    check(tree.childCount(index) == 0, "values are leaves", i);
}

// Holds for every tree a load leaves behind, a failed load's partial tree included.
void checkShape(const WeaponTree &tree, const QList<QStringView> &tokens)
{
    const int count = tree.count();
    check(count >= 0 && count <= kMaxNodes, "Count stays within 16 bits");
    check(count <= tokens.size(), "no more nodes than tokens");
    if (count == 0)
        return;
    check(tree.parent(1) == 0 && tree.kind(1) == NodeKind::Root, "node 1 is the root", 1);
    check(tree.image(1) == kImageRoot && !tree.bold(1), "the root looks like the root", 1);
    check(tree.key(1) == tree.text(1), "the root's Key is the header", 1);
    check(tree.childCount(1) == count / 2, "every key sits under the root", 1);
    for (int i = 1; i <= count; ++i) {
        check(tree.text(static_cast<NodeIndex>(i)) == tokens[i - 1], "node text is its token", i);
        if (i > 1 && i % 2 == 0)
            checkKey(tree, i);
        else if (i > 1)
            checkValue(tree, i);
    }
}

// The status must name the step that really stopped the load.
void checkStatus(const WeaponTree &tree, const WeaponFileResult &result,
                 const QList<QStringView> &tokens, bool lineEmpty)
{
    const int count = tree.count();
    switch (result.status) {
    case WeaponFileStatus::Ok:
        check(!lineEmpty && count == tokens.size() && count % 2 == 1, "a full load takes all");
        check(tree.selected() == 1, "a load selects the root");
        check(tree.expanded(1), "a load expands the root", 1);
        for (int i = 2; i <= count; i += 2)
            check(tree.expanded(static_cast<NodeIndex>(i)), "a load expands every key", i);
        break;
    case WeaponFileStatus::Empty:
        check(lineEmpty && count == 0, "only an empty line is empty");
        break;
    case WeaponFileStatus::KeyWithoutValue:
        check(count == tokens.size() && count % 2 == 0, "only the last key lacks a value");
        break;
    case WeaponFileStatus::RepeatedKey:
        check(count < tokens.size() && count % 2 == 1, "a repeat stops at a key token");
        check(tree.hasKey(tokens[count].toString()), "the refused key is already in use");
        break;
    case WeaponFileStatus::TooManyNodes:
        check(count == kMaxNodes && tokens.size() > kMaxNodes, "the tree is full");
        break;
    default:
        broken("a load reported a writer's failure", 0);
    }
}

void checkSameTree(const WeaponTree &a, const WeaponTree &b)
{
    check(a.count() == b.count(), "both loads give the same Count");
    check(a.selected() == b.selected(), "both loads select the same node");
    for (int i = 1; i <= a.count(); ++i) {
        const auto index = static_cast<NodeIndex>(i);
        check(a.text(index) == b.text(index) && a.key(index) == b.key(index) &&
                  a.parent(index) == b.parent(index) && a.bold(index) == b.bold(index) &&
                  a.image(index) == b.image(index) && a.expanded(index) == b.expanded(index),
              "both loads give the same node", i);
    }
}

WeaponFileResult loadChecked(WeaponTree &tree, QByteArrayView line)
{
    const WeaponFileResult result = build_weapon_tree(tree, line);
    const QString text = code_page::decode(line);
    const QList<QStringView> tokens = QStringView(text).split(u'\\');
    checkShape(tree, tokens);
    checkStatus(tree, result, tokens, line.isEmpty());
    return result;
}

// What follows the first line's end: past its CR and an LF right behind it.
QByteArrayView afterFirstLine(QByteArrayView file)
{
    const qsizetype cr = file.indexOf('\r');
    if (cr < 0)
        return {};
    return file.sliced(cr + 1 < file.size() && file[cr + 1] == '\n' ? cr + 2 : cr + 1);
}

// A file that loaded is written back byte for byte, and what was written loads the same.
void checkRoundTrip(const WeaponTree &tree, QByteArrayView file)
{
    const QByteArrayView line = firstLine(file);
    QByteArray written;
    check(weapon_line(tree, written).ok(), "a loaded tree can be written");
    check(written == line.toByteArray() + "\r\n", "saving reproduces the first line");
    WeaponTree again;
    check(loadChecked(again, firstLine(written)).ok(), "a written line loads");
    checkSameTree(tree, again);

    QByteArray splitLine, rest, whole;
    split_weapon_bytes(file, splitLine, rest);
    check(splitLine == line && rest == afterFirstLine(file), "the file splits at its line end");
    check(weapon_file_bytes(tree, rest, whole).ok(), "a loaded file can be written whole");
    check(whole == written + rest, "the whole file is the line, CR LF and the rest");
}

} // namespace

WeaponFileResult check_in_memory(QByteArrayView file, WeaponTree &tree)
{
    const WeaponFileResult result = loadChecked(tree, firstLine(file));
    if (result.ok())
        checkRoundTrip(tree, file);
    return result;
}

void check_on_disk(QByteArrayView file, const WeaponTree &inMemory, const WeaponFileResult &result)
{
    // Named, so that the folder a crash leaves behind is known for what it is.
    static const QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/armsmith-fuzz-XXXXXX"));
    check(dir.isValid(), "a temporary folder for the disk round trip");
    const QString path = dir.filePath(QStringLiteral("weapon.txt"));
    QFile out(path);
    check(out.open(QIODevice::WriteOnly) && out.write(file.data(), file.size()) == file.size(),
          "the input is written to disk");
    out.close();

    WeaponTree tree;
    WeaponOrigin origin;
    check(load_weapon(tree, path, &origin).status == result.status,
          "disk and memory agree on status");
    checkSameTree(inMemory, tree);
    if (!result.ok())
        return;
    check(origin.path == path && origin.rest == afterFirstLine(file), "the origin holds the rest");
    check(!disk_changed(origin), "the file is as it was read");
    check(save_weapon(tree, origin).ok(), "a loaded tree saves");
    check(!disk_changed(origin), "the file is as it was written");
    QFile in(path);
    check(in.open(QIODevice::ReadOnly), "the saved file can be read");
    check(in.readAll() ==
              firstLine(file).toByteArray() + "\r\n" + afterFirstLine(file).toByteArray(),
          "the saved file is the line and the rest");
}

// The writer checks a whole line at once and goes node by node only when that fails; an edit the
// line cannot keep has to be refused, and pinned on the edited node, all the same.
void check_refused_edit(WeaponTree &tree, uint8_t pick)
{
    constexpr char16_t kUnwritable[] = {u'\\', u'\r', u'\u0080', u'\u2028'};
    const auto index = static_cast<NodeIndex>(1 + pick % tree.count());
    const QChar bad(kUnwritable[pick % std::size(kUnwritable)]);
    tree.setText(index, tree.text(index) + bad);
    QByteArray written;
    const WeaponFileResult result = weapon_line(tree, written);
    check(result.status == WeaponFileStatus::UnwritableText, "an unwritable edit is refused",
          index);
    check(result.node == index, "the refusal names the edited node", index);
}
