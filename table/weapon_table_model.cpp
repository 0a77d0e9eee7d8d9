#include "table/weapon_table_model.h"

#include "collection/folded_text.h"
#include "collection/natural_order.h"
#include "document/weapon_file.h"
#include "table/table_steps.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QPalette>
#include <QUndoStack>

#include <algorithm>
#include <numeric>

namespace
{

// How a difference from the baseline reads: "+12 %", or "+5" where the baseline is zero.
QString difference(double value, double base)
{
    if (base == 0)
        return QStringLiteral("%1%2").arg(value >= base ? "+" : "").arg(value - base);
    const double percent = (value - base) / std::abs(base) * 100;
    return QStringLiteral("%1%2 %")
        .arg(percent >= 0 ? "+" : "")
        .arg(QString::number(percent, 'f', std::abs(percent) < 10 ? 1 : 0));
}

} // namespace

WeaponTableModel::WeaponTableModel(WeaponCollection &weapons, QUndoStack &undo, QObject *parent)
    : QAbstractTableModel(parent), m_weapons(weapons), m_undo(undo)
{
    m_order.resize(weapons.size());
    std::iota(m_order.begin(), m_order.end(), 0);
    takeRowsInOrder();
    m_columns.resize(weapons.keys().size());
    std::iota(m_columns.begin(), m_columns.end(), 0);
    connect(&weapons, &WeaponCollection::valuesChanged, this, &WeaponTableModel::followValues);
    connect(&weapons, &WeaponCollection::columnsInserted, this, &WeaponTableModel::followColumns);
    connect(&weapons, &WeaponCollection::columnsRemoved, this, &WeaponTableModel::followColumns);
    connect(&weapons, &WeaponCollection::changedStateChanged, this,
            &WeaponTableModel::followChangedState);
}

int WeaponTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int WeaponTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size()) + 1;
}

int WeaponTableModel::rowOf(int record) const
{
    return record >= 0 && record < m_rowOfRecord.size() ? m_rowOfRecord[record] : -1;
}

void WeaponTableModel::takeRowsInOrder()
{
    m_rows.clear();
    m_rowOfRecord.fill(-1, m_weapons.size());
    for (const int record : std::as_const(m_order)) {
        if (rowPasses(record)) {
            m_rowOfRecord[record] = static_cast<int>(m_rows.size());
            m_rows << record;
        }
    }
}

std::optional<QString> WeaponTableModel::valueAt(const QModelIndex &index) const
{
    const int record = m_rows[index.row()];
    if (index.column() == 0)
        return m_weapons.record(record).path;
    return m_weapons.value(record, m_columns[index.column() - 1]);
}

QVariant WeaponTableModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return valueAt(index).value_or(QString());
    case Qt::BackgroundRole:
        return background(index);
    case Qt::FontRole: {
        if (index.column() != 0 || m_rows[index.row()] != m_baseline)
            return {};
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole: {
        const QString compared = comparison(index);
        return compared.isEmpty() ? QVariant() : QVariant(compared);
    }
    case Qt::AccessibleTextRole:
        return spoken(index);
    default:
        return {};
    }
}

// Missing cells are hatched, cells that differ from the baseline are tinted.
QVariant WeaponTableModel::background(const QModelIndex &index) const
{
    if (index.column() == 0)
        return {};
    const std::optional<QString> value = valueAt(index);
    if (!value) {
        // Faint lines in the text's own colour show on a light and a dark base alike.
        QColor lines = QPalette().color(QPalette::Text);
        lines.setAlpha(80);
        return QBrush(lines, Qt::BDiagPattern);
    }
    const int record = m_rows[index.row()];
    if (m_baseline < 0 || record == m_baseline)
        return {};
    if (m_weapons.value(m_baseline, m_columns[index.column() - 1]) == value)
        return {};
    return QColor(255, 200, 80, 110);
}

QString WeaponTableModel::comparison(const QModelIndex &index) const
{
    if (index.column() == 0 || m_baseline < 0 || m_rows[index.row()] == m_baseline)
        return {};
    const std::optional<QString> value = valueAt(index);
    const std::optional<QString> base = m_weapons.value(m_baseline, m_columns[index.column() - 1]);
    if (!value || !base || *value == *base)
        return {};
    const std::optional<double> number = read_number(*value), baseNumber = read_number(*base);
    if (!number || !baseNumber)
        return QStringLiteral("differs from %1").arg(m_weapons.record(m_baseline).path);
    return difference(*number, *baseNumber);
}

QString WeaponTableModel::spoken(const QModelIndex &index) const
{
    const QString &path = m_weapons.record(m_rows[index.row()]).path;
    if (index.column() == 0)
        return path;
    const std::optional<QString> value = valueAt(index);
    return QStringLiteral("%1 of %2: %3")
        .arg(m_weapons.keys()[m_columns[index.column() - 1]], path,
             value ? *value : QStringLiteral("missing"));
}

QVariant WeaponTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && (role == Qt::DisplayRole || role == Qt::ToolTipRole))
        return section == 0 ? QStringLiteral("file") : m_weapons.keys()[m_columns[section - 1]];
    if (orientation != Qt::Vertical || section >= m_rows.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    const int record = m_rows[section];
    if (role == Qt::DisplayRole)
        return QStringLiteral("%1%2").arg(m_weapons.isChanged(record) ? "*" : " ",
                                          record == m_baseline ? "=" : " ");
    if (role == Qt::AccessibleTextRole || role == Qt::ToolTipRole) {
        QStringList marks;
        if (m_weapons.isChanged(record))
            marks << QStringLiteral("changed");
        if (record == m_baseline)
            marks << QStringLiteral("baseline of the comparison");
        return marks.isEmpty() ? m_weapons.record(record).path
                               : m_weapons.record(record).path + QStringLiteral(", ") +
                                     marks.join(QStringLiteral(", "));
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags WeaponTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return index.column() == 0 ? flags : flags | Qt::ItemIsEditable;
}

std::optional<CellEdit> WeaponTableModel::editFor(const QModelIndex &index,
                                                  const QString &text) const
{
    if (index.column() == 0)
        return std::nullopt;
    const std::optional<QString> now = valueAt(index);
    if (now == text)
        return std::nullopt;
    return CellEdit{m_rows[index.row()], m_columns[index.column() - 1], now, text};
}

bool WeaponTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    QString why;
    if (!setCells({index}, value.toString(), why)) {
        emit refused(why);
        return false;
    }
    return true;
}

bool WeaponTableModel::setCells(const QModelIndexList &cells, const QString &text, QString &why)
{
    if (const QString part = unwritable_part(text); !part.isEmpty()) {
        why = QStringLiteral("Not set: the value holds %1, which a weapon file cannot keep.")
                  .arg(part);
        return false;
    }
    QList<CellEdit> edits;
    for (const QModelIndex &index : cells) {
        const std::optional<CellEdit> edit = editFor(index, text);
        if (edit && !edit->before) {
            if (const QString refused =
                    m_weapons.refusesNewKey(edit->record, m_weapons.keys()[edit->column]);
                !refused.isEmpty()) {
                why = QStringLiteral("Not set: ") + refused;
                return false;
            }
        }
        if (edit)
            edits << *edit;
    }
    push(edits, cells.size() == 1 ? QStringLiteral("Edit Cell")
                                  : QStringLiteral("Set %1 Cells").arg(edits.size()));
    return true;
}

void WeaponTableModel::push(const QList<CellEdit> &edits, const QString &name)
{
    if (!edits.isEmpty())
        m_undo.push(new CellEditStep(m_weapons, edits, name));
}

void WeaponTableModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= columnCount())
        return;
    QList<std::optional<QString>> values(m_weapons.size());
    bool numeric = column > 0;
    for (int record = 0; record < m_weapons.size(); ++record) {
        values[record] = column == 0 ? m_weapons.record(record).path
                                     : m_weapons.value(record, m_columns[column - 1]);
        numeric = numeric && (!values[record] || read_number(*values[record]));
    }
    QList<double> numbers(numeric ? m_weapons.size() : 0);
    for (int record = 0; numeric && record < m_weapons.size(); ++record)
        numbers[record] = values[record] ? *read_number(*values[record]) : 0;
    const auto missingLast = std::stable_partition(m_order.begin(), m_order.end(),
                                                   [&](int r) { return bool(values[r]); });
    const auto before = [&](int a, int b) {
        if (numeric)
            return order == Qt::AscendingOrder ? numbers[a] < numbers[b] : numbers[b] < numbers[a];
        const int compared = natural_compare(*values[a], *values[b]);
        return order == Qt::AscendingOrder ? compared < 0 : compared > 0;
    };
    std::stable_sort(m_order.begin(), missingLast, before);
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList old = persistentIndexList();
    QList<int> oldRecords;
    for (const QModelIndex &index : old)
        oldRecords << m_rows[index.row()];
    takeRowsInOrder();
    QModelIndexList now;
    for (qsizetype i = 0; i < old.size(); ++i)
        now << index(rowOf(oldRecords[i]), old[i].column());
    changePersistentIndexList(old, now);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

bool WeaponTableModel::rowPasses(int record) const
{
    if (m_rowFilter.isEmpty())
        return true;
    return m_weapons.record(record).path.contains(m_rowFilter, Qt::CaseInsensitive) ||
           m_weapons.valuesContain(record, m_foldedRowFilter);
}

void WeaponTableModel::refilterRows()
{
    beginResetModel();
    takeRowsInOrder();
    endResetModel();
}

void WeaponTableModel::setRowFilter(const QString &text)
{
    if (text == m_rowFilter)
        return;
    m_rowFilter = text;
    m_foldedRowFilter = FoldedText(text);
    refilterRows();
}

void WeaponTableModel::setKeyFilter(const QString &text)
{
    if (text == m_keyFilter)
        return;
    m_keyFilter = text;
    followColumns();
}

void WeaponTableModel::followColumns()
{
    beginResetModel();
    m_columns.clear();
    for (int column = 0; column < m_weapons.keys().size(); ++column) {
        if (m_weapons.keys()[column].contains(m_keyFilter, Qt::CaseInsensitive))
            m_columns << column;
    }
    endResetModel();
}

// One notice for the whole step: a view told of five thousand cells one by one would take longer
// over it than the edit itself.
void WeaponTableModel::followValues(const QList<CellEdit> &edits)
{
    QList<int> shownOf(m_weapons.keys().size(), -1);
    for (qsizetype shown = 0; shown < m_columns.size(); ++shown)
        shownOf[m_columns[shown]] = static_cast<int>(shown) + 1;
    int top = rowCount(), bottom = -1, left = columnCount(), right = -1;
    for (const CellEdit &edit : edits) {
        const int row = rowOf(edit.record);
        const int column = edit.column < shownOf.size() ? shownOf[edit.column] : -1;
        if (row < 0 || column < 0)
            continue;
        // A baseline's change changes how every row compares with it.
        top = std::min(top, edit.record == m_baseline ? 0 : row);
        bottom = std::max(bottom, edit.record == m_baseline ? rowCount() - 1 : row);
        left = std::min(left, column);
        right = std::max(right, column);
    }
    if (bottom >= 0)
        emit dataChanged(index(top, left), index(bottom, right));
}

void WeaponTableModel::followChangedState(const QList<int> &records)
{
    int top = rowCount(), bottom = -1;
    for (const int record : records) {
        if (const int row = rowOf(record); row >= 0) {
            top = std::min(top, row);
            bottom = std::max(bottom, row);
        }
    }
    if (bottom < 0)
        return;
    emit headerDataChanged(Qt::Vertical, top, bottom);
    emit dataChanged(index(top, 0), index(bottom, 0));
}

void WeaponTableModel::toggleBaseline(int record)
{
    const int old = m_baseline;
    m_baseline = record == m_baseline ? -1 : record;
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    for (const int changed : {old, m_baseline}) {
        if (const int row = changed < 0 ? -1 : rowOf(changed); row >= 0)
            emit headerDataChanged(Qt::Vertical, row, row);
    }
}
