#include "tests/document/test_support.h"

using Steps = std::function<void(WeaponTree &)>;

class TestWeaponTree : public QObject
{
    Q_OBJECT

private slots:
    // Each row starts from "H\a\1\b\2", nodes 1 to 5, and gives the last lines of the tree.
    void operations_data()
    {
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<QString>("tail");
        QTest::newRow("keys differ by case; the empty key is a key, taken once")
            << Steps([](WeaponTree &t) {
                   t.appendPair(QString("H"), "A", "3"), t.appendPair(QString("H"), "", "4");
                   t.add(QString(""), std::nullopt, "y", kImageValue);
                   t.appendPair(QString("H"), "", "7"), t.appendPair(QString("H"), "a", "8");
               })
            << "  A [3 k B]\n    3 [4]\n   [3 k B]\n    4 [4]\n    y [4]\n";
        // A key without its value would break the alternation the file writer relies on.
        QTest::newRow("a full tree takes a pair whole or not at all") << Steps([](WeaponTree &t) {
            for (int i = 0; i < 16380; ++i)
                t.appendPair(QString("H"), QString::number(i), "v");
            t.add(QString("H"), std::nullopt, "odd", kImageValue);
            t.appendPair(QString("H"), "last", "v");
            t.add(QString("H"), QString("last"), "last", kImageValue);
            t.add(QString("H"), QString("more"), "more", kImageValue);
        }) << "  16379 [3 k B]\n    v [4]\n  odd [4]\n  last [4 k]\n";
        QTest::newRow("collapsing a grandparent moves the selection up to it")
            << Steps([](WeaponTree &t) { t.select(3), t.setExpanded(1, false); })
            << "H [7 k S]\n  a [3 k B E]\n    1 [4]\n  b [3 k B]\n    2 [4]\n";
    }
    void operations()
    {
        QFETCH(Steps, steps);
        QFETCH(QString, tail);
        WeaponTree tree;
        tree.addRoot("H"), tree.appendPair(QString("H"), "a", "1");
        tree.appendPair(QString("H"), "b", "2"), steps(tree);
        QCOMPARE(dump(tree).right(tail.size()), tail);
        // A refused add must not hold on to its key.
        QVERIFY(!tree.hasKey("more"));
    }
};

QTEST_GUILESS_MAIN(TestWeaponTree)
#include "test_weapon_tree.moc"
