#include "tests/document/test_support.h"

using Steps = std::function<void(WeaponTree &)>;

const QString kTwoPairs = "H [7 k]\n  a [3 k B]\n    1 [4]\n  b [3 k B]\n    2 [4]";

class TestWeaponTree : public QObject
{
    Q_OBJECT

private slots:
    // Starting from kTwoPairs, nodes 1 to 5.
    void operations_data()
    {
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<QString>("tree");
        QTest::addColumn<QString>("told");

        QTest::newRow(
            "adds go last under their relative; keys differ by case; the empty key is one, once")
            << Steps([](WeaponTree &t) {
                   t.appendPair(QString("H"), "A", "3"), t.appendPair(QString("H"), "", "4");
                   t.add(Node(&t, 2), std::nullopt, "x", kImageValue);
                   t.add(QString(""), std::nullopt, "y", kImageValue);
                   t.appendPair(QString("H"), "", "7");
                   t.add({}, QString("T"), "T", kImageValue);
               })
            << "H [7 k]\n  a [3 k B]\n    1 [4]\n    x [4]\n  b [3 k B]\n    2 [4]\n  A [3 k B]\n"
               "    3 [4]\n   [3 k B]\n    4 [4]\n    y [4]\nT [4 k]"
            << "aboutToAdd 7, added 7, boldChanged 2";
        QTest::newRow("refused adds leave the tree as it was: a key in use, no such relative")
            << Steps([](WeaponTree &t) {
                   t.appendPair(QString("H"), "a", "7");
                   for (const Relative &r : {Relative(QString("A")), Relative(QString("1")),
                                             Relative(Node(&t, 0)), Relative(Node(&t, 6))})
                       t.add(r, std::nullopt, "x", kImageValue);
               })
            << kTwoPairs << "";
        QTest::newRow("select opens the path; only a collapse over it moves it up")
            << Steps([](WeaponTree &t) {
                   t.select(3), t.select(3), t.setExpanded(4, true), t.setExpanded(4, false);
                   t.setExpanded(1, false);
               })
            << "H [7 k S]\n  a [3 k B E]\n    1 [4]\n  b [3 k B]\n    2 [4]"
            << "expandedChanged 5, selectionChanged 2, ensureVisibleRequested 2";
        QTest::newRow("changes are told once, nested batches as one; a renamed key keeps its Key")
            << Steps([](WeaponTree &t) {
                   t.beginBatch(), t.beginBatch(), t.setText(2, "A"), t.setText(2, "A");
                   t.setBold(2, false), t.setBold(2, false), t.setExpanded(1, true);
                   t.setExpanded(1, true), t.endBatch(), t.endBatch();
               })
            << "H [7 k E]\n  A [3 k=a]\n    1 [4]\n  b [3 k B]\n    2 [4]"
            << "textChanged 1, boldChanged 1, expandedChanged 1, batchStarted 1, batchFinished 1";
        QTest::newRow("clear forgets the nodes, the selection and every key")
            << Steps([](WeaponTree &t) { t.select(5), t.clear(), t.addRoot("H"); }) << "H [7 k]"
            << "aboutToClear 1, cleared 1, aboutToAdd 1, added 1, expandedChanged 2, "
               "selectionChanged 1, ensureVisibleRequested 1";
    }

    void operations()
    {
        QFETCH(Steps, steps);
        QFETCH(QString, tree);
        QFETCH(QString, told);

        WeaponTree weaponTree;
        QVERIFY(weaponTree.addRoot("H") && weaponTree.appendPair(QString("H"), "a", "1") &&
                weaponTree.appendPair(QString("H"), "b", "2"));
        // How often each signal of the tree fires, in the order they are declared.
        std::vector<std::pair<QByteArray, std::unique_ptr<QSignalSpy>>> spies;
        const QMetaObject &meta = WeaponTree::staticMetaObject;
        for (int i = meta.methodOffset(); i < meta.methodCount(); ++i)
            if (meta.method(i).methodType() == QMetaMethod::Signal)
                spies.emplace_back(meta.method(i).name(),
                                   new QSignalSpy(&weaponTree, meta.method(i)));
        steps(weaponTree);
        QCOMPARE(dump(weaponTree), tree);
        QStringList counts;
        for (const auto &[name, spy] : spies)
            if (spy->count() > 0)
                counts << name + ' ' + QByteArray::number(spy->count());
        QCOMPARE(counts.join(", "), told);
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
        // One slot left: a pair must not leave its key behind without the value.
        QCOMPARE(tree.appendPair(QString("H"), "last", "v").error, AddError::Full);
        QVERIFY(tree.add(QString("H"), QString("last"), "last", kImageValue));
        QCOMPARE(tree.add(QString("H"), QString("more"), "x", kImageValue).error, AddError::Full);
        QVERIFY(!tree.hasKey("more"));
    }
};

QTEST_GUILESS_MAIN(TestWeaponTree)
#include "test_weapon_tree.moc"
