#include "tests/document/test_support.h"

using Steps = std::function<void(WeaponTree &)>;

namespace
{

// Every signal with its arguments, in order: the tree control's model relies on the order too.
void logSignals(WeaponTree &tree, QStringList &log)
{
    const auto note = [&](auto signal, const char *name) {
        QObject::connect(&tree, signal, &tree, [&log, name](auto... arguments) {
            log << (QStringList{name} << ... << QString::number(arguments)).join(u' ');
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

// Nodes 1 to 5: H, a, 1, b, 2.
bool addTwoPairs(WeaponTree &tree)
{
    return tree.addRoot("H") && tree.appendPair(QString("H"), "a", "1") &&
           tree.appendPair(QString("H"), "b", "2");
}

const QString kTwoPairs = "H [7 k]\n  a [3 k B]\n    1 [4]\n  b [3 k B]\n    2 [4]";

} // namespace

class TestWeaponTree : public QObject
{
    Q_OBJECT

private slots:
    void operations_data()
    {
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<QString>("tree");
        QTest::addColumn<QString>("signals_");

        QTest::newRow("adds go last under their relative; keys differing in case are two keys")
            << Steps([](WeaponTree &t) {
                   t.appendPair(QString("H"), "A", "3");
                   t.add(Node(&t, 2), std::nullopt, "x", kImageValue);
                   t.add({}, QString("T"), "T", kImageValue);
               })
            << "H [7 k]\n  a [3 k B]\n    1 [4]\n    x [4]\n  b [3 k B]\n    2 [4]\n  A [3 k B]\n"
               "    3 [4]\nT [4 k]"
            << "aboutToAdd 1 2, added 6, bold 6, aboutToAdd 6 0, added 7, aboutToAdd 2 1, added 8, "
               "aboutToAdd 0 1, added 9";
        QTest::newRow("the empty key is a key that a relative can name, and only once")
            << Steps([](WeaponTree &t) {
                   t.appendPair(QString("H"), "", "3");
                   t.add(QString(""), std::nullopt, "x", kImageValue);
                   t.appendPair(QString("H"), "", "7");
               })
            << kTwoPairs + "\n   [3 k B]\n    3 [4]\n    x [4]"
            << "aboutToAdd 1 2, added 6, bold 6, aboutToAdd 6 0, added 7, aboutToAdd 6 1, added 8";
        QTest::newRow("refused adds leave the tree as it was: a key in use, no such relative")
            << Steps([](WeaponTree &t) {
                   t.appendPair(QString("H"), "a", "7");
                   for (const Relative &r : {Relative(QString("A")), Relative(QString("1")),
                                             Relative(Node(&t, 0)), Relative(Node(&t, 6))})
                       t.add(r, std::nullopt, "x", kImageValue);
               })
            << kTwoPairs << "";
        QTest::newRow("select opens the path from the top; a collapse over it moves it up first")
            << Steps([](WeaponTree &t) {
                   t.select(3), t.select(3), t.setExpanded(4, true), t.setExpanded(4, false);
                   t.setExpanded(1, false);
               })
            << "H [7 k S]\n  a [3 k B E]\n    1 [4]\n  b [3 k B]\n    2 [4]"
            << "expanded 1 1, expanded 2 1, ensureVisible 3, selection 3, ensureVisible 3, "
               "expanded 4 1, expanded 4 0, selection 1, expanded 1 0";
        QTest::newRow("changes are told once, nested batches as one; a renamed key keeps its Key")
            << Steps([](WeaponTree &t) {
                   t.beginBatch(), t.beginBatch(), t.setText(2, "A"), t.setText(2, "A");
                   t.setBold(2, false), t.setBold(2, false), t.setExpanded(1, true);
                   t.setExpanded(1, true), t.endBatch(), t.endBatch();
               })
            << "H [7 k E]\n  A [3 k=a]\n    1 [4]\n  b [3 k B]\n    2 [4]"
            << "batchStarted, text 2, bold 2, expanded 1 1, batchFinished";
        QTest::newRow("clear forgets the nodes, the selection and every key")
            << Steps([](WeaponTree &t) { t.select(5), t.clear(), t.addRoot("H"); }) << "H [7 k]"
            << "expanded 1 1, expanded 4 1, ensureVisible 5, selection 5, aboutToClear, cleared, "
               "aboutToAdd 0 0, added 1";
    }

    void operations()
    {
        QFETCH(Steps, steps);
        QFETCH(QString, tree);
        QFETCH(QString, signals_);

        QStringList log;
        WeaponTree weaponTree;
        QVERIFY(addTwoPairs(weaponTree));
        logSignals(weaponTree, log);
        steps(weaponTree);
        QCOMPARE(dump(weaponTree), tree);
        QCOMPARE(log.join(", "), signals_);
        QCOMPARE(weaponTree.nodes().Count(), tree.count(u'\n') + 1);
        QCOMPARE(weaponTree.SelectedItem().has_value(), tree.contains(" S]"));
        QVERIFY(!weaponTree.nodes().Item(0) && !weaponTree.nodes().Item(weaponTree.count() + 1));
    }

    void fullTreeTakesNoMore()
    {
        WeaponTree tree;
        tree.addRoot("H");
        for (int i = 0; i < 16382; ++i)
            QVERIFY(tree.appendPair(QString("H"), QString::number(i), "v"));
        QVERIFY(tree.add(QString("H"), std::nullopt, "odd", kImageValue));
        QSignalSpy aboutToAdd(&tree, &WeaponTree::aboutToAdd);
        // One slot left: a pair must not leave its key behind without the value.
        QCOMPARE(tree.appendPair(QString("H"), "last", "v").error, AddError::Full);
        QCOMPARE(aboutToAdd.count(), 0);
        QVERIFY(tree.add(QString("H"), QString("last"), "last", kImageValue));
        QCOMPARE(tree.nodes().Count(), kMaxNodes);
        QCOMPARE(tree.add(QString("H"), QString("more"), "x", kImageValue).error, AddError::Full);
        QCOMPARE(tree.add(QString("H"), std::nullopt, "x", kImageValue).error, AddError::Full);
        QVERIFY(!tree.hasKey("more"));
    }
};

QTEST_GUILESS_MAIN(TestWeaponTree)
#include "test_weapon_tree.moc"
