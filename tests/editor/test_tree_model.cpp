#include "document/weapon_file.h"
#include "editor/weapon_tree_model.h"

#include <QAbstractItemModelTester>
#include <QPixmap>
#include <QSignalSpy>
#include <QtTest>

#include <functional>
#include <memory>

using Change = std::function<void(WeaponTree &)>;

namespace
{

// A document in the shape load_weapon builds it: the header, then key/value pairs.
void build(WeaponTree &tree, QByteArrayView line)
{
    QVERIFY(build_weapon_tree(tree, line));
}

// The tree as the model presents it, one row a line, indented by depth: node number, text,
// picture number, b when bold, e when editable.
class ModelView
{
public:
    explicit ModelView(WeaponTree &tree)
        : m_icons(pictures()), m_model(tree, [this](int image) { return m_icons.value(image); }),
          m_tester(&m_model, QAbstractItemModelTester::FailureReportingMode::QtTest)
    {
    }

    WeaponTreeModel &model() { return m_model; }

    QString shown(const QModelIndex &parent = {}, int depth = 0) const
    {
        QString text;
        for (int row = 0; row < m_model.rowCount(parent); ++row) {
            const QModelIndex index = m_model.index(row, 0, parent);
            text += QStringLiteral("%1%2 %3 [%4%5%6]\n")
                        .arg(QString(depth * 2, u' '))
                        .arg(m_model.nodeAt(index))
                        .arg(index.data().toString(), picture(index))
                        .arg(index.data(Qt::FontRole).value<QFont>().bold() ? " b" : "")
                        .arg(m_model.flags(index) & Qt::ItemIsEditable ? " e" : "");
            text += shown(index, depth + 1);
        }
        return text;
    }

private:
    static QHash<int, QIcon> pictures()
    {
        QHash<int, QIcon> icons;
        for (int image = 1; image <= 7; ++image) {
            QPixmap picture(16, 16);
            picture.fill(QColor::fromHsv(image * 40, 255, 255));
            icons.insert(image, QIcon(picture));
        }
        return icons;
    }

    QString picture(const QModelIndex &index) const
    {
        const qint64 key = index.data(Qt::DecorationRole).value<QIcon>().cacheKey();
        for (auto it = m_icons.cbegin(); it != m_icons.cend(); ++it) {
            if (it.value().cacheKey() == key)
                return QString::number(it.key());
        }
        return QStringLiteral("no picture");
    }

    QHash<int, QIcon> m_icons;
    WeaponTreeModel m_model;
    QAbstractItemModelTester m_tester;
};

} // namespace

class TestTreeModel : public QObject
{
    Q_OBJECT

private slots:
    void follows_the_tree_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QString>("shown");
        const QString pairs = "1 H [7]\n  2 a [3 b]\n    3 1 [4 e]\n  4 b [3 b]\n    5 2 [4 e]\n";
        QTest::newRow("built pair by pair")
            << Change([](WeaponTree &t) { build(t, "H\\a\\1\\b\\2"); }) << pairs;
        QTest::newRow("loaded in one batch") << Change([](WeaponTree &t) {
            const WeaponTreeBatch batch(t);
            build(t, "H\\a\\1\\b\\2");
        }) << pairs;
        QTest::newRow("lone root is editable")
            << Change([](WeaponTree &t) { build(t, "H"); }) << "1 H [7 e]\n";
        QTest::newRow("pair appended to a lone root") << Change([](WeaponTree &t) {
            build(t, "H");
            QVERIFY(t.appendPair(*t.nodes().Item(1), "k", "v"));
        }) << "1 H [7]\n  2 k [3 b]\n    3 v [4 e]\n";
        QTest::newRow("pair appended after loading") << Change([](WeaponTree &t) {
            build(t, "H\\a\\1\\b\\2");
            QVERIFY(t.appendPair(*t.nodes().Item(1), "c", "3"));
        }) << pairs + "  6 c [3 b]\n    7 3 [4 e]\n";
        QTest::newRow("texts changed") << Change([](WeaponTree &t) {
            build(t, "H\\a\\1\\b\\2");
            t.setText(5, "two");
            t.setText(2, "");
        }) << "1 H [7]\n  2  [3 b]\n    3 1 [4 e]\n  4 b [3 b]\n    5 two [4 e]\n";
        QTest::newRow("cleared") << Change([](WeaponTree &t) {
            build(t, "H\\a\\1");
            t.clear();
        }) << "";
        QTest::newRow("cleared and reloaded in one batch") << Change([](WeaponTree &t) {
            build(t, "Old\\x\\9");
            const WeaponTreeBatch batch(t);
            t.clear();
            build(t, "H\\a\\1\\b\\2");
        }) << pairs;
        QTest::newRow("batches nested") << Change([](WeaponTree &t) {
            const WeaponTreeBatch outer(t);
            build(t, "H\\a\\1");
            const WeaponTreeBatch inner(t);
            t.setText(3, "changed");
        }) << "1 H [7]\n  2 a [3 b]\n    3 changed [4 e]\n";
        QTest::newRow("bold dropped from a key") << Change([](WeaponTree &t) {
            build(t, "H\\a\\1");
            t.setBold(2, false);
        }) << "1 H [7]\n  2 a [3]\n    3 1 [4 e]\n";
    }
    void follows_the_tree()
    {
        QFETCH(Change, change);
        QFETCH(QString, shown);
        WeaponTree tree;
        ModelView view(tree);
        change(tree);
        QCOMPARE(view.shown(), shown);
    }

    void loading_in_a_batch_is_one_reset()
    {
        WeaponTree tree;
        build(tree, "Old\\x\\9");
        ModelView view(tree);
        QSignalSpy resets(&view.model(), &QAbstractItemModel::modelReset);
        QSignalSpy inserts(&view.model(), &QAbstractItemModel::rowsInserted);
        {
            const WeaponTreeBatch batch(tree);
            tree.clear();
            build(tree, "H\\a\\1\\b\\2\\c\\3");
            QCOMPARE(resets.count(), 0);
        }
        QCOMPARE(resets.count(), 1);
        QCOMPARE(inserts.count(), 0);
    }

    void text_change_repaints_only_its_row()
    {
        WeaponTree tree;
        build(tree, "H\\a\\1\\b\\2");
        ModelView view(tree);
        QSignalSpy changes(&view.model(), &QAbstractItemModel::dataChanged);
        tree.setText(5, "new");
        QCOMPARE(changes.count(), 1);
        const QModelIndex changed = changes[0][0].toModelIndex();
        QCOMPARE(changes[0][1].toModelIndex(), changed);
        QCOMPARE(view.model().nodeAt(changed), NodeIndex(5));
        QVERIFY(changes[0][2].value<QList<int>>().contains(Qt::DisplayRole));
        tree.setText(5, "new");
        QCOMPARE(changes.count(), 1);
    }
};

QTEST_MAIN(TestTreeModel)
#include "test_tree_model.moc"
