#include "editor/tree_accessible.h"

#include "editor/accessible_leaf.h"

#include <QApplication>
#include <QPointer>
#include <QTreeView>

namespace
{

// One row of the tree as a screen reader sees it.
class TreeItemAccessible : public AccessibleLeaf
{
public:
    TreeItemAccessible(QTreeView *view, const QPersistentModelIndex &index)
        : m_view(view), m_index(index)
    {
    }

    bool isValid() const override { return m_view && m_index.isValid(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override
    {
        return QAccessible::queryAccessibleInterface(m_view);
    }
    QAccessible::Role role() const override { return QAccessible::TreeItem; }
    const QPersistentModelIndex &index() const { return m_index; }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return m_index.data(Qt::AccessibleTextRole).toString();
        if (t == QAccessible::Description)
            return m_index.data(Qt::AccessibleDescriptionRole).toString();
        return {};
    }

    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect shown = m_view->visualRect(m_index);
        return {m_view->viewport()->mapToGlobal(shown.topLeft()), shown.size()};
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.selectable = s.focusable = true;
        s.selected = m_view->selectionModel()->isSelected(m_index);
        s.focused = m_view->hasFocus() && m_view->currentIndex() == m_index;
        s.offscreen = !m_view->viewport()->rect().intersects(m_view->visualRect(m_index));
        s.editable = (m_index.flags() & Qt::ItemIsEditable) != 0;
        s.expandable = m_view->model()->hasChildren(m_index);
        s.expanded = s.expandable && m_view->isExpanded(m_index);
        s.collapsed = s.expandable && !s.expanded;
        return s;
    }

private:
    QPointer<QTreeView> m_view;
    QPersistentModelIndex m_index;
};

QAccessibleInterface *make_tree_accessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("TreeView"))
        return new TreeAccessible(static_cast<QTreeView *>(object));
    return nullptr;
}

} // namespace

TreeAccessible::TreeAccessible(QTreeView *view) : QAccessibleWidget(view, QAccessible::Tree)
{
    const auto rowsMoved = [this] { m_rowsKnown = false; };
    QObject::connect(view, &QTreeView::expanded, view, rowsMoved);
    QObject::connect(view, &QTreeView::collapsed, view, rowsMoved);
}

// The view may be asked about before it has its model, or be given another one.
void TreeAccessible::follow(QAbstractItemModel *model) const
{
    if (model == m_model)
        return;
    for (const QMetaObject::Connection &connection : std::as_const(m_modelConnections))
        QObject::disconnect(connection);
    forget();
    m_model = model;
    if (!model)
        return;
    const auto rowsMoved = [this] { m_rowsKnown = false; };
    const auto reset = [this] { forget(); };
    m_modelConnections = {
        QObject::connect(model, &QAbstractItemModel::rowsInserted, view(), rowsMoved),
        QObject::connect(model, &QAbstractItemModel::rowsRemoved, view(), rowsMoved),
        QObject::connect(model, &QAbstractItemModel::layoutChanged, view(), rowsMoved),
        QObject::connect(model, &QAbstractItemModel::modelReset, view(), reset)};
}

TreeAccessible::~TreeAccessible() { forget(); }

void TreeAccessible::install() { QAccessible::installFactory(make_tree_accessible); }

QTreeView *TreeAccessible::view() const { return static_cast<QTreeView *>(widget()); }

void TreeAccessible::forget() const
{
    for (const QAccessible::Id id : std::as_const(m_items))
        QAccessible::deleteAccessibleInterface(id);
    m_items.clear();
    m_rows.clear();
    m_rowsKnown = false;
}

// The rows in the order shown, each below its parent and only under an open one.
const QList<QPersistentModelIndex> &TreeAccessible::rows() const
{
    follow(view()->model());
    if (!m_rowsKnown) {
        m_rows.clear();
        for (QModelIndex row = m_model ? m_model->index(0, 0) : QModelIndex(); row.isValid();
             row = view()->indexBelow(row))
            m_rows.append(row);
        m_rowsKnown = true;
    }
    return m_rows;
}

int TreeAccessible::childCount() const { return static_cast<int>(rows().size()); }

QAccessibleInterface *TreeAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    const QPersistentModelIndex &row = rows().at(index);
    if (const auto known = m_items.constFind(row); known != m_items.constEnd())
        return QAccessible::accessibleInterface(*known);
    auto *item = new TreeItemAccessible(view(), row);
    m_items.insert(row, QAccessible::registerAccessibleInterface(item));
    return item;
}

int TreeAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    const auto *item = dynamic_cast<const TreeItemAccessible *>(child);
    return item && item->parent() == this ? rowOf(item->index()) : -1;
}

int TreeAccessible::rowOf(const QModelIndex &index) const
{
    return static_cast<int>(rows().indexOf(QPersistentModelIndex(index)));
}

QAccessibleInterface *TreeAccessible::childAt(int x, int y) const
{
    const QModelIndex index = view()->indexAt(view()->viewport()->mapFromGlobal(QPoint(x, y)));
    return index.isValid() ? child(rowOf(index)) : nullptr;
}

QAccessibleInterface *TreeAccessible::focusChild() const
{
    // While a label is edited in place, its editor holds the focus inside the view.
    QWidget *focus = QApplication::focusWidget();
    if (focus && focus != view() && view()->isAncestorOf(focus))
        return QAccessible::queryAccessibleInterface(focus);
    return view()->hasFocus() ? child(rowOf(view()->currentIndex())) : nullptr;
}
