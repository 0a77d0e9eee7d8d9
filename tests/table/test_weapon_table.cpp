#include "table/weapon_grid.h"
#include "table/weapon_table.h"
#include "table_support.h"

#include <QtWidgets>

namespace
{

// Answers each modal window in turn from a timer inside its own event loop, so that the real
// dialog runs: a message by the caption of a button, the Adjust Numbers dialog by its amount.
// Gives each window's title and a message's text.
template <class Command> QStringList answer_modals(const QStringList &answers, Command command)
{
    QStringList seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *window = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!window || !window->isVisible())
            return;
        auto *box = qobject_cast<QMessageBox *>(window);
        seen << window->windowTitle() + (box ? ": " + box->text() : "");
        const QString answer = seen.size() <= answers.size() ? answers[seen.size() - 1] : "";
        if (auto *amount = window->findChild<QLineEdit *>("AdjustAmount")) {
            amount->setText(answer);
            window->accept();
        }
        for (QAbstractButton *button : box ? box->buttons() : QList<QAbstractButton *>()) {
            if (button->text().remove(u'&') == answer)
                button->click();
        }
        if (window->isVisible())
            window->reject();
    });
    poll.start(5);
    command();
    return seen;
}

void trigger(QWidget *window, const char *name)
{
    auto *action = window->findChild<QAction *>(name);
    QVERIFY2(action, name);
    action->trigger();
}

void clickHeader(WeaponGrid *grid, int column)
{
    QHeaderView *header = grid->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 5, 5));
}

} // namespace

class TestWeaponTable : public QObject
{
    Q_OBJECT

private slots:
    void wholeRound();
    void paste_data();
    void paste();
};

// Open a folder holding a bad file, sort, bulk-set, Adjust, undo, Save All over a file changed on
// disk, and read the files back.
void TestWeaponTable::wholeRound()
{
    QTemporaryDir dir;
    write_files(dir.path(), {{"a.wpn", "A\\damage\\10\\name\\Rifle\r\nrest\n"},
                             {"b.wpn", "B\\damage\\20\\name\\Pistol\r\n"},
                             {"c.wpn", "C\\damage\\30\\speed\\1.5\r\n"},
                             {"bad.wpn", "D\\x\\1\\x\\2"},
                             {"notes.txt", "words"}});
    WeaponTable *table = open_weapon_table(nullptr, dir.path());
    QVERIFY(table);
    const std::unique_ptr<WeaponTable> owner(table);
    table->setAttribute(Qt::WA_DeleteOnClose, false);
    QVERIFY(QTest::qWaitForWindowExposed(table));
    auto *notLoaded = table->findChild<QListWidget *>("NotLoaded");
    QCOMPARE(notLoaded->count(), 1);
    QCOMPARE(notLoaded->item(0)->text(), "bad.wpn: The key \"x\" appears more than once.");
    QCOMPARE(table->findChild<QLabel *>("TableCounts")->text(), "3 weapons, 3 keys, 1 not loaded");
    QCOMPARE(table->findChild<QLabel *>("OtherFiles")->text(), "1 other file");

    // Tab goes round the controls from the grid, past its cells rather than through them.
    QVERIFY(QTest::qWaitForWindowActive(table));
    QStringList reached{QApplication::focusWidget()->objectName()};
    for (int step = 0; step < 4; ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(reached.join(u' '), "WeaponGrid NotLoaded TableFilter KeyFilter WeaponGrid");

    WeaponGrid *grid = table->grid();
    QAbstractItemModel *model = grid->model();
    clickHeader(grid, 1);
    clickHeader(grid, 1);
    QCOMPARE(grid_text(*model), "file|damage|name|speed\nc.wpn|30|-|1.5\nb.wpn|20|Pistol|-\n"
                                "a.wpn|10|Rifle|-");

    // Narrowed to one key, that column keeps its own width, and so do all when it is cleared.
    const QList<int> widths{grid->columnWidth(1), grid->columnWidth(3)};
    QVERIFY(widths[0] != widths[1]);
    auto *keyFilter = table->findChild<QLineEdit *>("KeyFilter");
    keyFilter->setText("spe");
    QCOMPARE(grid->columnWidth(1), widths[1]);
    keyFilter->clear();
    QCOMPARE((QList<int>{grid->columnWidth(1), grid->columnWidth(3)}), widths);

    // Type into one of two selected cells and set both at once.
    grid->setFocus();
    grid->setCurrentIndex(model->index(0, 1));
    grid->selectionModel()->select(model->index(1, 1), QItemSelectionModel::Select);
    QTest::keyClick(grid, Qt::Key_4);
    QTRY_VERIFY(grid->typedText());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_2);
    trigger(table, "mnuSetSelected");
    QCOMPARE(grid_text(*model), "file|damage|name|speed\nc.wpn|42|-|1.5\nb.wpn|42|Pistol|-\n"
                                "a.wpn|10|Rifle|-");
    QVERIFY(table->isWindowModified());

    // Adjust a number and a name: the name is left alone and counted, then the step is undone.
    grid->selectionModel()->clearSelection();
    grid->selectionModel()->select(model->index(0, 3), QItemSelectionModel::Select);
    grid->selectionModel()->select(model->index(2, 2), QItemSelectionModel::Select);
    QCOMPARE(answer_modals({"2"}, [&] { trigger(table, "mnuAdjust"); }),
             QStringList{"Adjust Numbers"});
    QCOMPARE(model->index(0, 3).data().toString(), "3.0");
    QCOMPARE(table->statusBar()->currentMessage(),
             "1 numbers adjusted; 1 cells are not numbers and were left alone.");
    trigger(table, "mnuUndo");
    QCOMPARE(model->index(0, 3).data().toString(), "1.5");

    // Another program changes b meanwhile; Save All asks about it alone.
    write_files(dir.path(), {{"b.wpn", "B\\damage\\21\\name\\Pistol\r\n"}});
    const QString b = QDir::toNativeSeparators(dir.filePath("b.wpn"));
    QCOMPARE(answer_modals({"Overwrite"}, [&] { trigger(table, "mnuSaveAll"); }),
             QStringList{"Weapons Table: " + b +
                         " was changed by another program since it was read. Overwrite it with "
                         "the table's values?"});
    QCOMPARE(file_bytes(dir.filePath("a.wpn")), "A\\damage\\10\\name\\Rifle\r\nrest\n");
    QCOMPARE(file_bytes(dir.filePath("b.wpn")), "B\\damage\\42\\name\\Pistol\r\n");
    QCOMPARE(file_bytes(dir.filePath("c.wpn")), "C\\damage\\42\\speed\\1.5\r\n");
    QCOMPARE(file_bytes(dir.filePath("bad.wpn")), "D\\x\\1\\x\\2");
    QVERIFY(!table->isWindowModified());
}

void TestWeaponTable::paste_data()
{
    QTest::addColumn<QPoint>("start"); // column, row
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("grid");
    QTest::addColumn<QString>("said");
    const QString before = "file|damage|name|speed\na.wpn|10|Rifle|-\nb.wpn|20|-|3";
    QTest::newRow("spreadsheet quotes; an empty cell leaves a missing one missing")
        << QPoint(2, 0) << "\"say \"\"hi\"\"\"\t\r\n\"two\nlines\"\t\"a\tb\"\r\n"
        << "file|damage|name|speed\na.wpn|10|say \"hi\"|-\nb.wpn|20|two\nlines|a\tb"
        << "";
    QTest::newRow("a carriage return refuses the whole paste")
        << QPoint(1, 0) << "12\t\"x\r\ny\"\n"
        << before
        << "Nothing was pasted. The value for name of a.wpn holds a carriage return, which a "
           "weapon file cannot keep.";
    QTest::newRow("a backslash in the last row refuses the first too")
        << QPoint(1, 0) << "11\n2\\3" << before
        << "Nothing was pasted. The value for damage of b.wpn holds a backslash, which a weapon "
           "file cannot keep.";
    QTest::newRow("cells past the end") << QPoint(3, 1) << "1\t2\n"
                                        << before
                                        << "Nothing was pasted. The pasted cells run past the end "
                                           "of the table.";
}

// A paste is one step, all or nothing, and what Copy takes of it pastes back the same.
void TestWeaponTable::paste()
{
    QFETCH(QPoint, start);
    QFETCH(QString, clipboard);
    QFETCH(QString, grid);
    QFETCH(QString, said);
    QTemporaryDir dir;
    write_files(dir.path(),
                {{"a.wpn", "A\\damage\\10\\name\\Rifle"}, {"b.wpn", "B\\damage\\20\\speed\\3"}});
    WeaponTable table(load_table(dir.path()));
    table.setAttribute(Qt::WA_DeleteOnClose, false);
    QAbstractItemModel *model = table.grid()->model();
    const QString before = grid_text(*model);
    const QModelIndex first = model->index(start.y(), start.x());
    table.grid()->setCurrentIndex(first);
    QApplication::clipboard()->setText(clipboard);
    trigger(&table, "mnuPaste");
    QCOMPARE(grid_text(*model), grid);
    QCOMPARE(table.statusBar()->currentMessage(), said);
    if (grid == before)
        return;
    table.grid()->selectionModel()->select(
        QItemSelection(first, model->index(model->rowCount() - 1, model->columnCount() - 1)),
        QItemSelectionModel::ClearAndSelect);
    trigger(&table, "mnuCopy");
    trigger(&table, "mnuUndo");
    QCOMPARE(grid_text(*model), before);
    trigger(&table, "mnuPaste");
    QCOMPARE(grid_text(*model), grid);
    // Cells with a gap between them are not copied: the gap would paste as emptied values.
    table.grid()->selectionModel()->select(model->index(0, 1), QItemSelectionModel::ClearAndSelect);
    table.grid()->selectionModel()->select(model->index(1, 2), QItemSelectionModel::Select);
    trigger(&table, "mnuCopy");
    QCOMPARE(table.statusBar()->currentMessage(),
             "Nothing was copied. The selected cells do not form one block.");
    trigger(&table, "mnuPaste");
    QCOMPARE(grid_text(*model), grid);
}

QTEST_MAIN(TestWeaponTable)
#include "test_weapon_table.moc"
