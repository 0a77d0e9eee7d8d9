#include "document/weapon_file.h"
#include "editor/weapon_tree_model.h"

#include <QAbstractItemModelTester>
#include <QtTest>

// One row a line, indented by depth: node, text, [b when bold, e when editable].
static QString shown(const WeaponTreeModel &model, const QModelIndex &parent = {}, int depth = 0)
{
    QString text;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        text += QStringLiteral("%1%2 %3 [%4%5]\n")
                    .arg(QString(depth * 2, u' '))
                    .arg(model.nodeAt(index))
                    .arg(index.data().toString(),
                         index.data(Qt::FontRole).value<QFont>().bold() ? "b" : "",
                         model.flags(index) & Qt::ItemIsEditable ? "e" : "");
        text += shown(model, index, depth + 1);
    }
    return text;
}

class TestTreeModel : public QObject
{
    Q_OBJECT

private slots:
    // A load adds thousands of nodes: views must hear of it once, not row by row.
    void batch_load_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("expected");
        QTest::newRow("pairs") << QByteArray("H\\a\\1\\b\\2")
                               << "1 H []\n  2 a [b]\n    3 1 [e]\n  4 b [b]\n    5 2 [e]\n";
        QTest::newRow("lone root") << QByteArray("H") << "1 H [e]\n";
    }
    void batch_load()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, expected);
        WeaponTree tree;
        WeaponTreeModel model(tree, [](int) { return QIcon(); });
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QStringList told;
        connect(&model, &QAbstractItemModel::modelReset, [&] { told << "reset"; });
        connect(&model, &QAbstractItemModel::rowsInserted, [&] { told << "inserted"; });
        connect(&model, &QAbstractItemModel::dataChanged, [&] { told << "changed"; });
        {
            const WeaponTreeBatch batch(tree);
            QVERIFY(build_weapon_tree(tree, line));
        }
        QCOMPARE(shown(model), expected);
        QCOMPARE(told, QStringList{"reset"});
    }
};

QTEST_MAIN(TestTreeModel)
#include "test_tree_model.moc"
