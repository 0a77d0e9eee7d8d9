#include "table/adjust_numbers.h"
#include "table/weapon_table_model.h"
#include "table_support.h"

#include <QAbstractItemModelTester>
#include <QUndoStack>

// Five weapons whose damage sorts differently as numbers and as text, one without it.
const QMap<QString, QByteArray> kArsenal{{"w10.wpn", "H\\damage\\10\\name\\Bolt\r\n"},
                                         {"w2.wpn", "H\\damage\\9\\name\\arrow\r\n"},
                                         {"w3.wpn", "H\\damage\\-3\\name\\Axe\r\n"},
                                         {"w4.wpn", "H\\damage\\1e3\r\n"},
                                         {"w5.wpn", "H\\name\\bolt 2\\speed\\4\r\n"}};

class TestTableModel : public QObject
{
    Q_OBJECT

private slots:
    void steps_data();
    void steps();
    void spoken_data();
    void spoken();
    void adjusted_data();
    void adjusted();
};

// Each step: "sort COLUMN a|d", "rows TEXT", "keys TEXT", "set ROW COLUMN VALUE",
// "undo", "redo".
void TestTableModel::steps_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("grid");
    QTest::newRow("loaded in path order, keys in order of first appearance")
        << QStringList()
        << "file|damage|name|speed\nw2.wpn|9|arrow|-\nw3.wpn|-3|Axe|-\n"
           "w4.wpn|1e3|-|-\nw5.wpn|-|bolt 2|4\nw10.wpn|10|Bolt|-";
    QTest::newRow("numbers sort as numbers, missing last")
        << QStringList{"sort 1 a"}
        << "file|damage|name|speed\nw3.wpn|-3|Axe|-\nw2.wpn|9|arrow|-\n"
           "w10.wpn|10|Bolt|-\nw4.wpn|1e3|-|-\nw5.wpn|-|bolt 2|4";
    QTest::newRow("descending keeps missing last")
        << QStringList{"sort 1 d"}
        << "file|damage|name|speed\nw4.wpn|1e3|-|-\nw10.wpn|10|Bolt|-\n"
           "w2.wpn|9|arrow|-\nw3.wpn|-3|Axe|-\nw5.wpn|-|bolt 2|4";
    QTest::newRow("text sorts naturally, ignoring case, and stably")
        << QStringList{"sort 1 d", "sort 2 a"}
        << "file|damage|name|speed\nw2.wpn|9|arrow|-\nw3.wpn|-3|Axe|-\nw10.wpn|10|Bolt|-\n"
           "w5.wpn|-|bolt 2|4\nw4.wpn|1e3|-|-";
    QTest::newRow("one word in a column makes it text")
        << QStringList{"set 3 1 ten", "sort 1 a"}
        << "file|damage|name|speed\nw3.wpn|-3|Axe|-\nw4.wpn|1e3|-|-\nw2.wpn|9|arrow|-\n"
           "w10.wpn|10|Bolt|-\nw5.wpn|ten|bolt 2|4";
    QTest::newRow("row filter: any value or the path, ignoring case")
        << QStringList{"rows BOLT"}
        << "file|damage|name|speed\nw5.wpn|-|bolt 2|4\nw10.wpn|10|Bolt|-";
    QTest::newRow("row filter: a typed windows-1252 value, ignoring its case")
        << QStringList{"set 0 2 \u00C9clair\u0153", "rows \u00E9CLAIR\u0152"}
        << "file|damage|name|speed\nw2.wpn|9|\u00C9clair\u0153|-";
    QTest::newRow("key filter") << QStringList{"keys A", "rows w1"}
                                << "file|damage|name\nw10.wpn|10|Bolt";
    QTest::newRow("sorting keeps the filter")
        << QStringList{"rows a", "sort 1 d"}
        << "file|damage|name|speed\nw2.wpn|9|arrow|-\nw3.wpn|-3|Axe|-";
    QTest::newRow("typing into a missing cell adds the pair, undo takes it away")
        << QStringList{"set 2 2 Cannon", "set 2 3 1", "undo", "undo", "redo"}
        << "file|damage|name|speed\nw2.wpn|9|arrow|-\nw3.wpn|-3|Axe|-\n"
           "w4.wpn|1e3|Cannon|-\nw5.wpn|-|bolt 2|4\nw10.wpn|10|Bolt|-";
    QTest::newRow("a refused value changes nothing")
        << QStringList{"set 0 1 a\\b"}
        << "file|damage|name|speed\nw2.wpn|9|arrow|-\n"
           "w3.wpn|-3|Axe|-\nw4.wpn|1e3|-|-\nw5.wpn|-|bolt 2|4\n"
           "w10.wpn|10|Bolt|-";
}

void TestTableModel::steps()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, grid);
    QTemporaryDir dir;
    write_files(dir.path(), kArsenal);
    const auto weapons = load_table(dir.path());
    QUndoStack undo;
    WeaponTableModel model(*weapons, undo);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (const QString &step : steps) {
        const QStringList words = step.split(u' ');
        if (words[0] == "sort")
            model.sort(words[1].toInt(),
                       words[2] == "a" ? Qt::AscendingOrder : Qt::DescendingOrder);
        else if (words[0] == "rows")
            model.setRowFilter(words[1]);
        else if (words[0] == "keys")
            model.setKeyFilter(words[1]);
        else if (words[0] == "set")
            model.setData(model.index(words[1].toInt(), words[2].toInt()), words[3], Qt::EditRole);
        else
            words[0] == "undo" ? undo.undo() : undo.redo();
    }
    QCOMPARE(grid_text(model), grid);
    // Whatever the steps, undoing them all gives back the weapons as loaded.
    while (undo.canUndo())
        undo.undo();
    QCOMPARE(weapons->changedCount(), 0);
}

void TestTableModel::spoken_data()
{
    QTest::addColumn<int>("baseline");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("tinted");
    QTest::newRow("a value") << -1 << 0 << 1 << "damage of w2.wpn: 9"
                             << "" << false;
    QTest::newRow("a missing value") << -1 << 2 << 2 << "name of w4.wpn: missing"
                                     << "" << false;
    QTest::newRow("more than the baseline") << 0 << 4 << 1 << "damage of w10.wpn: 10"
                                            << "+11 %" << true;
    QTest::newRow("less than the baseline") << 4 << 1 << 1 << "damage of w3.wpn: -3"
                                            << "-130 %" << true;
    QTest::newRow("text that differs") << 0 << 4 << 2 << "name of w10.wpn: Bolt"
                                       << "differs from w2.wpn" << true;
    QTest::newRow("the baseline itself") << 0 << 0 << 1 << "damage of w2.wpn: 9"
                                         << "" << false;
    QTest::newRow("missing beside the baseline") << 0 << 2 << 2 << "name of w4.wpn: missing"
                                                 << "" << false;
}

void TestTableModel::spoken()
{
    QFETCH(int, baseline);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QString, description);
    QFETCH(bool, tinted);
    QTemporaryDir dir;
    write_files(dir.path(), kArsenal);
    const auto weapons = load_table(dir.path());
    QUndoStack undo;
    WeaponTableModel model(*weapons, undo);
    if (baseline >= 0)
        model.toggleBaseline(model.recordAt(baseline));
    const QModelIndex index = model.index(row, column);
    QCOMPARE(index.data(Qt::AccessibleTextRole).toString(), text);
    QCOMPARE(index.data(Qt::AccessibleDescriptionRole).toString(), description);
    QCOMPARE(index.data(Qt::BackgroundRole).value<QBrush>().style() == Qt::SolidPattern, tinted);
    // Choosing the baseline again clears the comparison.
    if (baseline >= 0)
        model.toggleBaseline(model.recordAt(baseline));
    QCOMPARE(index.data(Qt::AccessibleDescriptionRole).toString(), "");
}

void TestTableModel::adjusted_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("multiply");
    QTest::addColumn<double>("amount");
    QTest::addColumn<QString>("result");
    QTest::newRow("integers stay integers") << "25" << true << 1.1 << "28";
    QTest::newRow("decimals kept") << "0.25" << true << 1.1 << "0.28";
    QTest::newRow("added") << "-3" << false << 5.0 << "2";
    QTest::newRow("exponent") << "1e3" << true << 2.0 << "2000";
    QTest::newRow("no minus zero") << "0.1" << true << -0.01 << "0.0";
    QTest::newRow("not a number") << "fast" << true << 2.0 << "<none>";
    QTest::newRow("blank is not a number") << " 5" << true << 2.0 << "<none>";
}

void TestTableModel::adjusted()
{
    QFETCH(QString, value);
    QFETCH(bool, multiply);
    QFETCH(double, amount);
    QFETCH(QString, result);
    QCOMPARE(adjusted_value(value, multiply ? Adjustment::Multiply : Adjustment::Add, amount)
                 .value_or(QStringLiteral("<none>")),
             result);
}

QTEST_MAIN(TestTableModel)
#include "test_table_model.moc"
