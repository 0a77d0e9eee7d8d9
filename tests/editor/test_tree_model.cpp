#include "document/weapon_file.h"
#include "editor/weapon_tree_model.h"

#include <QAbstractItemModelTester>
#include <QtTest>

#include <functional>

using Change = std::function<void(WeaponTree &)>;

namespace
{

// One row a line, indented by depth: node, text, [b when bold, e when editable].
QString shown(const WeaponTreeModel &model, const QModelIndex &parent = {}, int depth = 0)
{
    QString text;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        text += QStringLiteral("%1%2 %3 [%4%5]\n")
                    .arg(QString(depth * 2, u' '))
                    .arg(model.nodeAt(index))
                    .arg(index.data().toString())
                    .arg(index.data(Qt::FontRole).value<QFont>().bold() ? "b" : "")
                    .arg(model.flags(index) & Qt::ItemIsEditable ? "e" : "");
        text += shown(model, index, depth + 1);
    }
    return text;
}

} // namespace

class TestTreeModel : public QObject
{
    Q_OBJECT

private slots:
    // Each row loads a line in one batch, then changes the tree, under QAbstractItemModelTester
    // throughout. A load adds thousands of nodes, which views must hear of once, not row by row.
    void follows_the_tree_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<Change>("change");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("log");
        const auto row = [](const char *name, const char *line, const QString &shown,
                            const QString &log, const Change &change = {}) {
            QTest::newRow(name) << QByteArray(line) << change << shown << log;
        };
        row("pairs", "H\\a\\1\\b\\2", "1 H []\n  2 a [b]\n    3 1 [e]\n  4 b [b]\n    5 2 [e]\n",
            "reset");
        row("pair appended to a lone root", "H", "1 H []\n  2 k [b]\n    3 v [e]\n",
            "reset, inserted, changed 2, inserted",
            [](WeaponTree &t) { t.appendPair(*t.nodes().Item(1), "k", "v"); });
        row("text changed", "H\\a\\1", "1 H []\n  2 a [b]\n    3 two [e]\n", "reset, changed 3",
            [](WeaponTree &t) { t.setText(3, "two"); });
        row("reloaded over it in one batch, as Open does", "Old\\x\\9",
            "1 H []\n  2 a [b]\n    3 1 [e]\n", "reset, reset", [](WeaponTree &t) {
                const WeaponTreeBatch batch(t);
                t.clear();
                QVERIFY(build_weapon_tree(t, "H\\a\\1"));
            });
    }
    void follows_the_tree()
    {
        QFETCH(QByteArray, line);
        QFETCH(Change, change);
        QFETCH(QString, expected);
        QFETCH(QString, log);
        WeaponTree tree;
        WeaponTreeModel model(tree, [](int) { return QIcon(); });
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QStringList told;
        connect(&model, &QAbstractItemModel::modelReset, [&] { told << "reset"; });
        connect(&model, &QAbstractItemModel::rowsInserted, [&] { told << "inserted"; });
        connect(&model, &QAbstractItemModel::dataChanged, [&](const QModelIndex &row) {
            told << "changed " + QString::number(model.nodeAt(row));
        });
        {
            const WeaponTreeBatch batch(tree);
            QVERIFY(build_weapon_tree(tree, line));
        }
        if (change)
            change(tree);
        QCOMPARE(shown(model), expected);
        QCOMPARE(told.join(", "), log);
    }
};

QTEST_MAIN(TestTreeModel)
#include "test_tree_model.moc"
