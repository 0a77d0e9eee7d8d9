#include "table/weapon_grid.h"

#include "table/weapon_table_model.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>

#include <algorithm>

namespace
{

// A column is at least this many characters wide, and at most this many, so that one long value
// does not push the others out of view.
constexpr int kNarrowest = 6;
constexpr int kWidest = 32;
// Only the first rows are measured, so that a table of thousands of weapons opens at once.
constexpr int kRowsMeasured = 40;

} // namespace

WeaponGrid::WeaponGrid(QWidget *parent) : QTableView(parent), m_frozen(new QTableView(this))
{
    setObjectName(QStringLiteral("WeaponGrid"));
    setAccessibleName(QStringLiteral("Weapons"));
    setSortingEnabled(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setWordWrap(false);
    // Tab leaves for the filters and the not-loaded panel, as it does everywhere else; the arrow
    // keys move between cells, and Tab in an open cell still moves on to the next one.
    setTabKeyNavigation(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setSectionsClickable(true);

    m_frozen->setObjectName(QStringLiteral("WeaponGridPaths"));
    m_frozen->setFocusPolicy(Qt::NoFocus);
    m_frozen->setAccessibleName(QStringLiteral("Weapon paths"));
    m_frozen->verticalHeader()->hide();
    m_frozen->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_frozen->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frozen->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frozen->setVerticalScrollMode(verticalScrollMode());
    m_frozen->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_frozen->setWordWrap(false);
    m_frozen->horizontalHeader()->setSectionsClickable(true);
    connect(m_frozen->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int) {
        const QHeaderView *header = horizontalHeader();
        const bool ascending = header->sortIndicatorSection() == 0 &&
                               header->sortIndicatorOrder() == Qt::AscendingOrder;
        sortByColumn(0, ascending ? Qt::DescendingOrder : Qt::AscendingOrder);
    });
    connect(m_frozen->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(),
            &QAbstractSlider::setValue);
    connect(verticalScrollBar(), &QAbstractSlider::valueChanged, m_frozen->verticalScrollBar(),
            &QAbstractSlider::setValue);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int section, int, int size) {
                if (section == 0) {
                    m_frozen->setColumnWidth(0, size);
                    placeFrozen();
                }
            });
}

void WeaponGrid::setTableModel(WeaponTableModel *model)
{
    m_model = model;
    setModel(model);
    m_frozen->setModel(model);
    m_frozen->setSelectionModel(selectionModel());
    m_frozen->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_frozen->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
    const auto hideKeys = [this] {
        for (int column = 1; column < m_model->columnCount(); ++column)
            m_frozen->setColumnHidden(column, true);
        m_frozen->setColumnWidth(0, columnWidth(0));
    };
    // A filter's reset keeps each column at its width, wherever the column comes to stand.
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, &WeaponGrid::keepWidths);
    connect(model, &QAbstractItemModel::modelReset, this, &WeaponGrid::restoreWidths);
    connect(model, &QAbstractItemModel::modelReset, this, hideKeys);
    for (int column = 0; column < model->columnCount(); ++column)
        fitColumn(column);
    hideKeys();
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    viewport()->stackUnder(m_frozen);
    placeFrozen();
    m_frozen->show();
}

std::optional<QString> WeaponGrid::typedText() const
{
    if (state() != QAbstractItemView::EditingState)
        return std::nullopt;
    const auto *editor = qobject_cast<QLineEdit *>(indexWidget(currentIndex()));
    if (!editor)
        editor = findChild<QLineEdit *>();
    return editor ? std::optional<QString>(editor->text()) : std::nullopt;
}

void WeaponGrid::dropEditor()
{
    if (state() != QAbstractItemView::EditingState)
        return;
    if (QWidget *editor = findChild<QLineEdit *>())
        closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
}

void WeaponGrid::commitEditor()
{
    if (state() != QAbstractItemView::EditingState)
        return;
    if (QWidget *editor = findChild<QLineEdit *>()) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void WeaponGrid::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    placeFrozen();
}

void WeaponGrid::updateGeometries()
{
    QTableView::updateGeometries();
    placeFrozen();
}

// Moving left past the frozen column scrolls the grid back so the cell is not hidden under it.
QModelIndex WeaponGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex current = QTableView::moveCursor(action, modifiers);
    if (action == MoveLeft && current.column() > 0 &&
        visualRect(current).topLeft().x() < m_frozen->columnWidth(0)) {
        const int shift = visualRect(current).topLeft().x() - m_frozen->columnWidth(0);
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + shift);
    }
    return current;
}

// As wide as the key and the values of the first rows, in the grid's own font, so that a larger
// desktop font does not cut every value short.
void WeaponGrid::fitColumn(int column)
{
    const int rows = std::min(m_model->rowCount(), kRowsMeasured);
    int width = horizontalHeader()->sectionSizeHint(column);
    const int character = fontMetrics().averageCharWidth();
    // The grid line takes a pixel of the cell, and a character more keeps values apart.
    for (int row = 0; row < rows; ++row)
        width =
            std::max(width, sizeHintForIndex(m_model->index(row, column)).width() + 1 + character);
    setColumnWidth(column, std::clamp(width, kNarrowest * character, kWidest * character));
}

void WeaponGrid::keepWidths()
{
    for (int column = 0; column < m_model->columnCount(); ++column)
        m_widths.insert(m_model->keyColumnAt(column), columnWidth(column));
}

void WeaponGrid::restoreWidths()
{
    for (int column = 0; column < m_model->columnCount(); ++column) {
        const auto width = m_widths.constFind(m_model->keyColumnAt(column));
        if (width != m_widths.cend())
            setColumnWidth(column, *width);
        else
            fitColumn(column);
    }
}

void WeaponGrid::placeFrozen()
{
    if (!m_model)
        return;
    m_frozen->setGeometry(verticalHeader()->width() + frameWidth(), frameWidth(), columnWidth(0),
                          viewport()->height() + horizontalHeader()->height());
}
