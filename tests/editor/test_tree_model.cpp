#include "document/weapon_file.h"
#include "editor/weapon_tree_model.h"

#include <QAbstractItemModelTester>
#include <QPixmap>
#include <QtTest>

#include <functional>

using Change = std::function<void(WeaponTree &)>;

namespace
{

// The model over a tree, checked by QAbstractItemModelTester through every change, with a log
// of what it told its views. Picture n is drawn in hue 40 n, so a row's picture number can be
// read back from its icon.
struct ModelView {
    explicit ModelView(WeaponTree &tree)
        : model(tree, &picture),
          tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest)
    {
        QObject::connect(&model, &QAbstractItemModel::modelReset, [this] { log << "reset"; });
        QObject::connect(&model, &QAbstractItemModel::rowsInserted, [this] { log << "inserted"; });
        QObject::connect(&model, &QAbstractItemModel::dataChanged, [this](const QModelIndex &row) {
            log << "changed " + QString::number(model.nodeAt(row));
        });
    }

    static QIcon picture(int image)
    {
        QPixmap pixmap(16, 16);
        pixmap.fill(QColor::fromHsv(image * 40, 255, 255));
        return QIcon(pixmap);
    }

    // One row a line, indented by depth: node, text, [picture, b when bold, e when editable].
    QString shown(const QModelIndex &parent = {}, int depth = 0) const
    {
        QString text;
        for (int row = 0; row < model.rowCount(parent); ++row) {
            const QModelIndex index = model.index(row, 0, parent);
            const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
            text += QStringLiteral("%1%2 %3 [%4%5%6]\n")
                        .arg(QString(depth * 2, u' '))
                        .arg(model.nodeAt(index))
                        .arg(index.data().toString())
                        .arg(icon.pixmap(16).toImage().pixelColor(0, 0).hsvHue() / 40)
                        .arg(index.data(Qt::FontRole).value<QFont>().bold() ? " b" : "")
                        .arg(model.flags(index) & Qt::ItemIsEditable ? " e" : "");
            text += shown(index, depth + 1);
        }
        return text;
    }

    WeaponTreeModel model;
    QAbstractItemModelTester tester;
    QStringList log;
};

} // namespace

class TestTreeModel : public QObject
{
    Q_OBJECT

private slots:
    // Each row loads a line in one batch, then changes the tree. A load adds thousands of nodes,
    // which views must hear of once, not row by row.
    void follows_the_tree_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<Change>("change");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("log");
        const auto row = [](const char *name, const char *line, const QString &shown,
                            const QString &log, const Change &change = {}) {
            QTest::newRow(name) << QByteArray(line) << change << shown << log;
        };
        row("pairs", "H\\a\\1\\b\\2",
            "1 H [7]\n  2 a [3 b]\n    3 1 [4 e]\n  4 b [3 b]\n    5 2 [4 e]\n", "reset");
        row("lone root is editable", "H", "1 H [7 e]\n", "reset");
        row("pair appended to a lone root", "H", "1 H [7]\n  2 k [3 b]\n    3 v [4 e]\n",
            "reset, inserted, changed 2, inserted",
            [](WeaponTree &t) { t.appendPair(*t.nodes().Item(1), "k", "v"); });
        row("text changed", "H\\a\\1", "1 H [7]\n  2 a [3 b]\n    3 two [4 e]\n",
            "reset, changed 3", [](WeaponTree &t) { t.setText(3, "two"); });
        row("bold dropped", "H\\a\\1", "1 H [7]\n  2 a [3]\n    3 1 [4 e]\n", "reset, changed 2",
            [](WeaponTree &t) { t.setBold(2, false); });
        row("cleared", "H\\a\\1", "", "reset, reset", [](WeaponTree &t) { t.clear(); });
        row("reloaded over it in one batch, as Open does", "Old\\x\\9",
            "1 H [7]\n  2 a [3 b]\n    3 1 [4 e]\n", "reset, reset", [](WeaponTree &t) {
                const WeaponTreeBatch batch(t);
                t.clear();
                QVERIFY(build_weapon_tree(t, "H\\a\\1"));
            });
    }
    void follows_the_tree()
    {
        QFETCH(QByteArray, line);
        QFETCH(Change, change);
        QFETCH(QString, shown);
        QFETCH(QString, log);
        WeaponTree tree;
        ModelView view(tree);
        {
            const WeaponTreeBatch batch(tree);
            QVERIFY(build_weapon_tree(tree, line));
        }
        if (change)
            change(tree);
        QCOMPARE(view.shown(), shown);
        QCOMPARE(view.log.join(", "), log);
    }
};

QTEST_MAIN(TestTreeModel)
#include "test_tree_model.moc"
