#include "table/adjust_numbers.h"
#include "table/table_steps.h"
#include "table/weapon_grid.h"
#include "table/weapon_table.h"
#include "table/weapon_table_model.h"

#include "collection/csv_exchange.h"
#include "collection/natural_order.h"
#include "collection/save_all.h"
#include "collection/tab_separated.h"
#include "document/careful_save.h"
#include "document/weapon_file.h"
#include "ui/message_box.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>

#include <set>

namespace
{

const QString kTitle = QStringLiteral("Weapons Table");

// The selected cells as a rectangle of rows and columns, in grid order.
struct Block {
    std::set<int> rows, columns;
};

Block selectedBlock(const QModelIndexList &cells)
{
    Block block;
    for (const QModelIndex &cell : cells) {
        block.rows.insert(cell.row());
        block.columns.insert(cell.column());
    }
    return block;
}

QString cellName(WeaponTableModel &model, const QModelIndex &index)
{
    return QStringLiteral("%1 of %2")
        .arg(model.headerData(index.column(), Qt::Horizontal, Qt::DisplayRole).toString(),
             model.weapons().record(model.recordAt(index.row())).path);
}

// The edits that paste rows of cells with their first at start, or why nothing can be pasted. An
// empty cell over a missing one leaves it missing, so that what Copy took pastes back as it was.
QString pasteEdits(WeaponTableModel &model, const QModelIndex &start,
                   const QList<QStringList> &rows, QList<CellEdit> &edits)
{
    QHash<int, int> added; // new pairs per record, each taking room in its file
    for (qsizetype r = 0; r < rows.size(); ++r) {
        for (qsizetype c = 0; c < rows[r].size(); ++c) {
            const QString &text = rows[r][c];
            const QModelIndex index = model.index(start.row() + int(r), start.column() + int(c));
            if (!index.isValid())
                return QStringLiteral("The pasted cells run past the end of the table.");
            if (index.column() == 0)
                return QStringLiteral("A weapon's path cannot be changed here.");
            if (const QString part = unwritable_part(text); !part.isEmpty())
                return QStringLiteral("The value for %1 holds %2, which a weapon file cannot "
                                      "keep.")
                    .arg(cellName(model, index), part);
            const std::optional<CellEdit> edit = model.editFor(index, text);
            if (!edit || (!edit->before && text.isEmpty()))
                continue;
            if (!edit->before) {
                const QString key = model.weapons().keys()[edit->column];
                if (QString why =
                        model.weapons().refusesNewKey(edit->record, key, added[edit->record]++);
                    !why.isEmpty())
                    return why;
            }
            edits << *edit;
        }
    }
    return {};
}

} // namespace

void WeaponTable::takeTyped() { m_grid->commitEditor(); }

bool WeaponTable::saveAll()
{
    takeTyped();
    const SaveReport report = save_all(*m_weapons, [this](const QString &location) {
        const QMessageBox::StandardButton answer =
            ask(this, kTitle,
                QStringLiteral("%1 was changed by another program since it was read. Overwrite it "
                               "with the table's values?")
                    .arg(location),
                QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No | QMessageBox::Cancel,
                QMessageBox::Cancel,
                {{QMessageBox::Yes, QStringLiteral("Overwrite")},
                 {QMessageBox::YesToAll, QStringLiteral("Overwrite All")},
                 {QMessageBox::No, QStringLiteral("Skip")}});
        switch (answer) {
        case QMessageBox::Yes:
            return ChangedOnDisk::Overwrite;
        case QMessageBox::YesToAll:
            return ChangedOnDisk::OverwriteAll;
        case QMessageBox::No:
            return ChangedOnDisk::Skip;
        default:
            return ChangedOnDisk::Cancel;
        }
    });
    say(QStringLiteral("%1 weapons saved.").arg(report.written));
    if (!report.failures.isEmpty())
        show_warning(this, kTitle,
                     QStringLiteral("These weapons were not saved:\n%1").arg(report.failureText()));
    return m_weapons->changedCount() == 0;
}

void WeaponTable::mnuSaveAll_Click() { saveAll(); }

void WeaponTable::mnuExportCsv_Click()
{
    takeTyped();
    const QFileInfo source(m_weapons->source());
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Export CSV"),
        source.dir().filePath(source.completeBaseName() + QStringLiteral(".csv")),
        QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    const QByteArray csv =
        export_csv(*m_weapons, m_model->shownRecords(), m_model->shownKeyColumns());
    if (const WeaponFileResult written = write_file_carefully(path, csv); !written) {
        show_warning(this, kTitle,
                     QStringLiteral("The weapons were not exported to %1. %2")
                         .arg(QDir::toNativeSeparators(path), written.reason));
        return;
    }
    say(QStringLiteral("%1 weapons exported.").arg(m_model->rowCount()));
}

void WeaponTable::mnuImportCsv_Click()
{
    takeTyped();
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Import CSV"), QFileInfo(m_weapons->source()).path(),
        QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    QFile file(path);
    CsvTable csv;
    CsvError error;
    ImportPlan plan;
    QString why;
    if (!file.open(QIODevice::ReadOnly))
        why = file.errorString();
    else if (!read_csv(file.readAll(), csv, error) || !plan_import(*m_weapons, csv, plan, error))
        why = error.text();
    if (!why.isEmpty()) {
        show_warning(
            this, kTitle,
            QStringLiteral("%1 cannot be imported. %2").arg(QDir::toNativeSeparators(path), why));
        return;
    }
    if (ask(this, kTitle, plan.summary() + u'.', QMessageBox::Ok | QMessageBox::Cancel,
            QMessageBox::Cancel,
            {{QMessageBox::Ok, QStringLiteral("Import")}}) == QMessageBox::Ok &&
        (!plan.edits.isEmpty() || !plan.newKeys.isEmpty()))
        m_undo.push(new ImportStep(*m_weapons, std::move(plan)));
}

void WeaponTable::mnuClose_Click() { close(); }

void WeaponTable::mnuCopy_Click()
{
    const QModelIndexList selected = m_grid->selectionModel()->selectedIndexes();
    const Block block = selectedBlock(selected);
    // A gap would go out as an empty cell, and pasting that would empty a value.
    if (size_t(selected.size()) != block.rows.size() * block.columns.size()) {
        say(QStringLiteral("Nothing was copied. The selected cells do not form one block."));
        return;
    }
    QList<QStringList> rows;
    for (const int row : block.rows) {
        QStringList cells;
        for (const int column : block.columns)
            cells << m_model->index(row, column).data().toString();
        rows << cells;
    }
    QApplication::clipboard()->setText(write_tab_separated(rows));
}

void WeaponTable::mnuPaste_Click()
{
    takeTyped();
    const QModelIndex start = m_grid->currentIndex();
    const QList<QStringList> rows = read_tab_separated(QApplication::clipboard()->text());
    if (!start.isValid() || rows.isEmpty())
        return;
    QList<CellEdit> edits;
    if (const QString refusal = pasteEdits(*m_model, start, rows, edits); !refusal.isEmpty()) {
        say(QStringLiteral("Nothing was pasted. ") + refusal);
        return;
    }
    m_model->push(edits, QStringLiteral("Paste %1 Cells").arg(edits.size()));
}

void WeaponTable::mnuSetSelected_Click()
{
    const QModelIndexList cells = m_grid->selectionModel()->selectedIndexes();
    std::optional<QString> text = m_grid->typedText();
    m_grid->dropEditor();
    if (cells.isEmpty())
        return;
    if (!text) {
        bool ok = false;
        text = QInputDialog::getText(
            this, kTitle, QStringLiteral("Value for the %1 selected cells:").arg(cells.size()),
            QLineEdit::Normal, cells.front().data().toString(), &ok);
        if (!ok)
            return;
    }
    QString why;
    if (!m_model->setCells(cells, *text, why))
        say(why);
}

void WeaponTable::mnuAdjust_Click()
{
    takeTyped();
    const QModelIndexList cells = m_grid->selectionModel()->selectedIndexes();
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("AdjustNumbers"));
    dialog.setWindowTitle(QStringLiteral("Adjust Numbers"));
    auto *how = new QComboBox(&dialog);
    how->setObjectName(QStringLiteral("AdjustHow"));
    how->addItems({QStringLiteral("Multiply by"), QStringLiteral("Add")});
    auto *amount = new QLineEdit(QStringLiteral("1"), &dialog);
    amount->setObjectName(QStringLiteral("AdjustAmount"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    auto *form = new QFormLayout(&dialog);
    form->addRow(QStringLiteral("&Change:"), how);
    form->addRow(QStringLiteral("&Amount:"), amount);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    amount->selectAll();
    if (dialog.exec() != QDialog::Accepted)
        return;
    const std::optional<double> by = read_number(amount->text().trimmed());
    if (!by) {
        say(QStringLiteral("Not adjusted: \"%1\" is not a number.").arg(amount->text()));
        return;
    }
    const Adjustment adjustment = how->currentIndex() == 0 ? Adjustment::Multiply : Adjustment::Add;
    QList<CellEdit> edits;
    int skipped = 0;
    for (const QModelIndex &index : cells) {
        if (index.column() == 0)
            continue;
        const std::optional<QString> value =
            adjusted_value(index.data().toString(), adjustment, *by);
        if (!value) {
            ++skipped;
        } else if (const std::optional<CellEdit> edit = m_model->editFor(index, *value)) {
            if (edit->before)
                edits << *edit;
        }
    }
    m_model->push(edits, QStringLiteral("Adjust %1 Numbers").arg(edits.size()));
    say(QStringLiteral("%1 numbers adjusted; %2 cells are not numbers and were left alone.")
            .arg(edits.size())
            .arg(skipped));
}

void WeaponTable::mnuCompare_Click()
{
    const QModelIndex current = m_grid->currentIndex();
    if (!current.isValid())
        return;
    m_model->toggleBaseline(m_model->recordAt(current.row()));
    say(m_model->baseline() < 0 ? QStringLiteral("The comparison is cleared.")
                                : QStringLiteral("Comparing with %1.")
                                      .arg(m_weapons->record(m_model->baseline()).path));
}

void WeaponTable::mnuFindRows_Click() { m_tableFilter->setFocus(Qt::ShortcutFocusReason); }

void WeaponTable::mnuFindKeys_Click() { m_keyFilter->setFocus(Qt::ShortcutFocusReason); }

void WeaponTable::WeaponGrid_ContextMenu(const QPoint &at)
{
    const QModelIndex index = m_grid->indexAt(at);
    if (!index.isValid())
        return;
    m_grid->setCurrentIndex(index);
    QMenu menu(this);
    menu.addAction(findChild<QAction *>(QStringLiteral("mnuCompare")));
    menu.addAction(findChild<QAction *>(QStringLiteral("mnuCopy")));
    menu.addAction(findChild<QAction *>(QStringLiteral("mnuPaste")));
    menu.addAction(findChild<QAction *>(QStringLiteral("mnuSetSelected")));
    menu.addAction(findChild<QAction *>(QStringLiteral("mnuAdjust")));
    menu.exec(m_grid->viewport()->mapToGlobal(at));
}
