#include "document/weapon_tree.h"
#include "tests/document/test_support.h"

#include <QtTest>

using test_support::dump;

namespace
{

// Every signal of the tree in the order it came, so a table can pin down order as well.
class SignalLog
{
public:
    explicit SignalLog(WeaponTree &tree)
    {
        const auto note = [&](auto signal, const char *name) {
            QObject::connect(&tree, signal, &m_context, [this, name](auto... arguments) {
                lines << (QStringList{name} << ... << QString::number(arguments)).join(u' ');
            });
        };
        note(&WeaponTree::aboutToClear, "aboutToClear");
        note(&WeaponTree::cleared, "cleared");
        note(&WeaponTree::aboutToAdd, "aboutToAdd");
        note(&WeaponTree::added, "added");
        note(&WeaponTree::textChanged, "text");
        note(&WeaponTree::boldChanged, "bold");
        note(&WeaponTree::expandedChanged, "expanded");
        note(&WeaponTree::selectionChanged, "selection");
        note(&WeaponTree::ensureVisibleRequested, "ensureVisible");
        note(&WeaponTree::batchStarted, "batchStarted");
        note(&WeaponTree::batchFinished, "batchFinished");
    }

    QStringList lines;

private:
    QObject m_context;
};

QString word(const QStringList &words, int i)
{
    const QString w = words.value(i);
    return w == "''" ? QString("") : w;
}

std::optional<QString> optionalKey(const QString &w)
{
    return w == "-" ? std::nullopt : std::optional<QString>(w);
}

// One step in a small language, so the tables read as what a user of the tree does:
//   root TEXT | pair KEY VALUE | add RELATIVE KEY TEXT | select N | setSelected N | expand N
//   collapse N | text N TEXT | bold N 0|1 | ensureVisible N | clear | begin | end
// '' is the empty text, - is none (no key, no relative), #N is node N as a relative.
// A refused add leaves "refused <error>" in the log.
void run(WeaponTree &tree, const QString &step, QStringList &log)
{
    const QStringList w = step.split(u' ');
    const auto n = static_cast<NodeIndex>(w.value(1).toInt());
    const auto node = [&] { return Node(&tree, n); };
    AddResult added{Node(&tree, 1)};
    if (w[0] == "root") {
        added = tree.addRoot(word(w, 1));
    } else if (w[0] == "pair") {
        added = tree.appendPair(QString("H"), word(w, 1), word(w, 2));
    } else if (w[0] == "add") {
        const QString rel = word(w, 1);
        const Relative relative = rel == "-" ? Relative{}
                                  : rel.startsWith('#')
                                      ? Relative{Node(&tree, NodeIndex(rel.mid(1).toInt()))}
                                      : Relative{rel};
        added = tree.nodes().Add(relative, Relationship::Child, optionalKey(word(w, 2)), word(w, 3),
                                 kImageValue);
    } else if (w[0] == "select") {
        tree.select(n);
    } else if (w[0] == "setSelected") {
        node().setSelected();
    } else if (w[0] == "expand" || w[0] == "collapse") {
        node().setExpanded(w[0] == "expand");
    } else if (w[0] == "text") {
        node().setText(word(w, 2));
    } else if (w[0] == "bold") {
        node().setBold(w[2] == "1");
    } else if (w[0] == "ensureVisible") {
        node().EnsureVisible();
    } else if (w[0] == "clear") {
        tree.nodes().Clear();
    } else if (w[0] == "begin") {
        tree.beginBatch();
    } else if (w[0] == "end") {
        tree.endBatch();
    } else {
        QFAIL(qPrintable("unknown step " + step));
    }
    if (!added)
        log << QStringLiteral("refused %1").arg(addErrorName(added.error));
}

const QStringList kTwoPairs{"root H", "pair a 1", "pair b 2"};
// For rows about the shape of the tree rather than what it tells its observers.
const QStringList kAnySignals{"*"};
const QString kTwoPairsDump = "H [7 k]\n  a [3 k B]\n    1 [4]\n  b [3 k B]\n    2 [4]";

} // namespace

class TestWeaponTree : public QObject
{
    Q_OBJECT

private slots:
    void operations_data();
    void operations();
    void refusedAdds_data();
    void refusedAdds();
    void itemRange_data();
    void itemRange();
    void fullTreeTakesNoMore();
};

void TestWeaponTree::operations_data()
{
    QTest::addColumn<QStringList>("start");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QStringList>("signals_");
    const QStringList none;

    QTest::newRow("root alone has no children")
        << none << QStringList{"root H"} << "H [7 k]" << QStringList{"aboutToAdd 0 0", "added 1"};
    QTest::newRow("first pair: key bold under root, value under key")
        << QStringList{"root H"} << QStringList{"pair a 1"} << "H [7 k]\n  a [3 k B]\n    1 [4]"
        << QStringList{"aboutToAdd 1 0", "added 2", "bold 2", "aboutToAdd 2 0", "added 3"};
    QTest::newRow("second pair is the root's last child")
        << QStringList{"root H", "pair a 1"} << QStringList{"pair b 2"} << kTwoPairsDump
        << QStringList{"aboutToAdd 1 1", "added 4", "bold 4", "aboutToAdd 4 0", "added 5"};
    QTest::newRow("keys differing only in case are two keys")
        << QStringList{"root H"} << QStringList{"pair Damage 1", "pair damage 2"}
        << "H [7 k]\n  Damage [3 k B]\n    1 [4]\n  damage [3 k B]\n    2 [4]" << kAnySignals;
    QTest::newRow("empty key is a key that a relative can name")
        << QStringList{"root H"} << QStringList{"pair '' 1", "add '' - x"}
        << "H [7 k]\n   [3 k B]\n    1 [4]\n    x [4]" << kAnySignals;
    QTest::newRow("keyless nodes never clash, not even with the empty key")
        << QStringList{"root H"} << QStringList{"add H - v", "add H - v", "add H '' e"}
        << "H [7 k]\n  v [4]\n  v [4]\n  e [4 k=]" << kAnySignals;
    QTest::newRow("relative given as a node")
        << kTwoPairs << QStringList{"add #2 - x"}
        << "H [7 k]\n  a [3 k B]\n    1 [4]\n    x [4]\n  b [3 k B]\n    2 [4]"
        << QStringList{"aboutToAdd 2 1", "added 6"};
    QTest::newRow("no relative adds a top-level node")
        << QStringList{"root H"} << QStringList{"add - T T"} << "H [7 k]\nT [4 k]"
        << QStringList{"aboutToAdd 0 1", "added 2"};

    QTest::newRow("select expands ancestors from the top")
        << kTwoPairs << QStringList{"select 3"}
        << "H [7 k E]\n  a [3 k B E]\n    1 [4 S]\n  b [3 k B]\n    2 [4]"
        << QStringList{"expanded 1 1", "expanded 2 1", "ensureVisible 3", "selection 3"};
    QTest::newRow("Node setSelected selects like select")
        << kTwoPairs << QStringList{"setSelected 5"}
        << "H [7 k E]\n  a [3 k B]\n    1 [4]\n  b [3 k B E]\n    2 [4 S]"
        << QStringList{"expanded 1 1", "expanded 4 1", "ensureVisible 5", "selection 5"};
    QTest::newRow("selecting the selected node again changes nothing")
        << kTwoPairs << QStringList{"select 1", "select 1"}
        << "H [7 k S]\n  a [3 k B]\n    1 [4]\n  b [3 k B]\n    2 [4]"
        << QStringList{"ensureVisible 1", "selection 1", "ensureVisible 1"};
    QTest::newRow("EnsureVisible expands ancestors, selects nothing")
        << kTwoPairs << QStringList{"ensureVisible 5"}
        << "H [7 k E]\n  a [3 k B]\n    1 [4]\n  b [3 k B E]\n    2 [4]"
        << QStringList{"expanded 1 1", "expanded 4 1", "ensureVisible 5"};
    QTest::newRow("collapsing the selected value's key selects the key, then collapses")
        << kTwoPairs << QStringList{"select 3", "collapse 2"}
        << "H [7 k E]\n  a [3 k B S]\n    1 [4]\n  b [3 k B]\n    2 [4]"
        << QStringList{"expanded 1 1", "expanded 2 1", "ensureVisible 3",
                       "selection 3",  "selection 2",  "expanded 2 0"};
    QTest::newRow("collapsing the root over the selection selects the root")
        << kTwoPairs << QStringList{"select 3", "collapse 1"}
        << "H [7 k S]\n  a [3 k B E]\n    1 [4]\n  b [3 k B]\n    2 [4]"
        << QStringList{"expanded 1 1", "expanded 2 1", "ensureVisible 3",
                       "selection 3",  "selection 1",  "expanded 1 0"};
    QTest::newRow("collapsing another branch keeps the selection")
        << kTwoPairs + QStringList{"select 3", "expand 4"} << QStringList{"collapse 4"}
        << "H [7 k E]\n  a [3 k B E]\n    1 [4 S]\n  b [3 k B]\n    2 [4]"
        << QStringList{"expanded 4 0"};
    QTest::newRow("collapsing the selected node keeps it selected")
        << kTwoPairs + QStringList{"select 2", "expand 2"} << QStringList{"collapse 2"}
        << "H [7 k E]\n  a [3 k B S]\n    1 [4]\n  b [3 k B]\n    2 [4]"
        << QStringList{"expanded 2 0"};

    QTest::newRow("a text change is told once")
        << kTwoPairs << QStringList{"text 3 1", "text 3 x", "text 3 x"}
        << "H [7 k]\n  a [3 k B]\n    x [4]\n  b [3 k B]\n    2 [4]" << QStringList{"text 3"};
    QTest::newRow("key node text changes, its Key stays")
        << kTwoPairs << QStringList{"text 2 A"}
        << "H [7 k]\n  A [3 k=a B]\n    1 [4]\n  b [3 k B]\n    2 [4]" << QStringList{"text 2"};
    QTest::newRow("a bold change is told once")
        << kTwoPairs << QStringList{"bold 2 1", "bold 3 0", "bold 2 0", "bold 2 0"}
        << "H [7 k]\n  a [3 k]\n    1 [4]\n  b [3 k B]\n    2 [4]" << QStringList{"bold 2"};
    QTest::newRow("an expanded change is told once")
        << kTwoPairs << QStringList{"collapse 2", "expand 1", "expand 1"}
        << "H [7 k E]\n  a [3 k B]\n    1 [4]\n  b [3 k B]\n    2 [4]"
        << QStringList{"expanded 1 1"};

    QTest::newRow("clear empties the tree and the selection")
        << kTwoPairs + QStringList{"select 5"} << QStringList{"clear"} << ""
        << QStringList{"aboutToClear", "cleared"};
    QTest::newRow("clear frees every key")
        << kTwoPairs << QStringList{"clear", "root H", "pair a 1"}
        << "H [7 k]\n  a [3 k B]\n    1 [4]" << kAnySignals;
    QTest::newRow("nested batches are one batch")
        << kTwoPairs << QStringList{"begin", "begin", "text 3 x", "end", "end"}
        << "H [7 k]\n  a [3 k B]\n    x [4]\n  b [3 k B]\n    2 [4]"
        << QStringList{"batchStarted", "text 3", "batchFinished"};
}

void TestWeaponTree::operations()
{
    QFETCH(QStringList, start);
    QFETCH(QStringList, steps);
    QFETCH(QString, tree);
    QFETCH(QStringList, signals_);

    WeaponTree weaponTree;
    QStringList refusals;
    for (const QString &step : start)
        run(weaponTree, step, refusals);
    QCOMPARE(refusals, QStringList{});
    SignalLog log(weaponTree);
    for (const QString &step : steps)
        run(weaponTree, step, log.lines);

    QCOMPARE(dump(weaponTree), tree);
    if (signals_ != kAnySignals)
        QCOMPARE(log.lines, signals_);
    QCOMPARE(weaponTree.nodes().Count(), tree.isEmpty() ? 0 : tree.count(u'\n') + 1);
    const std::optional<Node> selected = weaponTree.SelectedItem();
    QCOMPARE(selected.has_value(), tree.contains(" S]"));
    if (selected)
        QVERIFY(selected->Selected());
}

void TestWeaponTree::refusedAdds_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<AddError>("error");

    QTest::newRow("key in use") << "pair Damage 7" << AddError::KeyInUse;
    QTest::newRow("key equal to the root's") << "pair H 7" << AddError::KeyInUse;
    QTest::newRow("second empty key") << "pair '' 7" << AddError::KeyInUse;
    QTest::newRow("key in use, through Add") << "add #1 Damage x" << AddError::KeyInUse;
    QTest::newRow("relative key naming no node") << "add Nope - x" << AddError::NoSuchRelative;
    QTest::newRow("relative key in another case") << "add damage - x" << AddError::NoSuchRelative;
    QTest::newRow("a value's text is no key") << "add 5 - x" << AddError::NoSuchRelative;
    QTest::newRow("relative node out of range") << "add #6 - x" << AddError::NoSuchRelative;
    QTest::newRow("relative node 0") << "add #0 - x" << AddError::NoSuchRelative;
}

void TestWeaponTree::refusedAdds()
{
    QFETCH(QString, step);
    QFETCH(AddError, error);

    WeaponTree tree;
    QStringList refusals;
    for (const QString &s : QStringList{"root H", "pair Damage 5", "pair '' e"})
        run(tree, s, refusals);
    const QString before = dump(tree);
    SignalLog log(tree);
    run(tree, step, log.lines);
    QCOMPARE(log.lines, QStringList{QStringLiteral("refused %1").arg(addErrorName(error))});
    QCOMPARE(dump(tree), before);
    QCOMPARE(tree.nodes().Count(), 5);
}

void TestWeaponTree::itemRange_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("exists");

    QTest::newRow("first") << 1 << true;
    QTest::newRow("last") << 3 << true;
    QTest::newRow("zero") << 0 << false;
    QTest::newRow("negative") << -1 << false;
    QTest::newRow("one past the last") << 4 << false;
    QTest::newRow("largest index") << 32767 << false;
}

void TestWeaponTree::itemRange()
{
    QFETCH(int, index);
    QFETCH(bool, exists);

    WeaponTree tree;
    tree.addRoot("H");
    tree.appendPair(QString("H"), "a", "1");
    const std::optional<Node> node = tree.nodes().Item(static_cast<NodeIndex>(index));
    QCOMPARE(node.has_value(), exists);
    if (node)
        QCOMPARE(node->Index(), index);
}

void TestWeaponTree::fullTreeTakesNoMore()
{
    WeaponTree tree;
    const auto addUnderRoot = [&tree](const std::optional<QString> &key, const QString &text) {
        return tree.nodes().Add(QString("H"), Relationship::Child, key, text, kImageValue).error;
    };
    tree.addRoot("H");
    for (int i = 0; i < 16382; ++i)
        QVERIFY(tree.appendPair(QString("H"), QString::number(i), "v"));
    QCOMPARE(addUnderRoot(std::nullopt, "odd"), AddError::None);
    QCOMPARE(tree.nodes().Count(), kMaxNodes - 1);

    // One slot left: a pair must not leave its key behind without the value.
    QCOMPARE(tree.appendPair(QString("H"), "last", "v").error, AddError::Full);
    QCOMPARE(tree.nodes().Count(), kMaxNodes - 1);
    QVERIFY(!tree.hasKey("last"));

    QCOMPARE(addUnderRoot(QString("last"), "last"), AddError::None);
    QCOMPARE(tree.nodes().Count(), kMaxNodes);
    QCOMPARE(tree.nodes().Item(kMaxNodes)->Text(), QString("last"));
    QCOMPARE(tree.nodes().Item(1)->Children(), 16384);

    QSignalSpy aboutToAdd(&tree, &WeaponTree::aboutToAdd);
    QCOMPARE(addUnderRoot(QString("more"), "more"), AddError::Full);
    QCOMPARE(addUnderRoot(std::nullopt, "more"), AddError::Full);
    QCOMPARE(tree.appendPair(QString("H"), "more", "v").error, AddError::Full);
    QCOMPARE(tree.nodes().Count(), kMaxNodes);
    QVERIFY(!tree.hasKey("more"));
    QCOMPARE(aboutToAdd.count(), 0);
}

QTEST_GUILESS_MAIN(TestWeaponTree)
#include "test_weapon_tree.moc"
