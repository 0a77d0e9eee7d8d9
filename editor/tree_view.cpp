#include "editor/tree_view.h"

#include "editor/image_list.h"
#include "editor/long_line_edit.h"
#include "editor/tree_accessible.h"
#include "editor/weapon_text_validator.h"
#include "editor/weapon_tree_model.h"

#include <QAccessible>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QStyledItemDelegate>

namespace
{

// In-place editing takes the same care with text as the value box.
class LabelDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        auto *editor =
            qobject_cast<QLineEdit *>(QStyledItemDelegate::createEditor(parent, option, index));
        if (editor) {
            make_weapon_text_editor(editor);
            // A screen reader says which value is being edited, not only that a box has opened.
            editor->setAccessibleName(index.data(Qt::AccessibleDescriptionRole).toString() +
                                      QStringLiteral(", editing"));
        }
        return editor;
    }
};

} // namespace

TreeView::TreeView(WeaponTree &tree, const ImageList &images, QWidget *parent)
    : QTreeView(parent), m_tree(&tree),
      m_model(new WeaponTreeModel(
          *m_tree, [&images](int image) { return images.icon(image); }, this))
{
    static const bool accessible = (TreeAccessible::install(), true);
    Q_UNUSED(accessible);
    setObjectName(QStringLiteral("Tv"));
    setAccessibleName(QStringLiteral("Weapon tree"));
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setRootIsDecorated(true);
    // Several pairs at once for Delete, Copy and Move; the current row stays the one the
    // value panel shows.
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setItemDelegate(new LabelDelegate(this));
    setModel(m_model);
    setLabelEdit(tvwManual);

    connect(m_tree, &WeaponTree::selectionChanged, this, &TreeView::followSelection);
    connect(m_tree, &WeaponTree::expandedChanged, this, &TreeView::followExpansion);
    connect(m_tree, &WeaponTree::ensureVisibleRequested, this, [this](NodeIndex node) {
        if (m_tree->inBatch())
            m_pendingScroll = node;
        else
            scrollTo(m_model->indexOf(node));
    });
    connect(m_tree, &WeaponTree::batchFinished, this, &TreeView::followBatch);
    // The view moves its current row off removed rows by itself; once they are gone it shows
    // the tree's own selection again.
    connect(m_tree, &WeaponTree::removed, this, [this] { followSelection(m_tree->selected()); });
    connect(this, &QTreeView::expanded, this,
            [this](const QModelIndex &i) { userExpanded(i, true); });
    connect(this, &QTreeView::collapsed, this,
            [this](const QModelIndex &i) { userExpanded(i, false); });
    connect(this, &QTreeView::clicked, this, &TreeView::userClicked);
    connect(m_model, &WeaponTreeModel::labelEdited, this, &TreeView::storeLabelEdit);
}

void TreeView::setLabelEdit(int mode)
{
    m_labelEdit = mode;
    setEditTriggers(mode == tvwAutomatic
                        ? QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed
                        : QAbstractItemView::NoEditTriggers);
}

QList<NodeIndex> TreeView::selectedNodes() const
{
    QList<NodeIndex> nodes;
    for (const QModelIndex &index : selectionModel()->selectedIndexes()) {
        if (const NodeIndex node = m_model->nodeAt(index))
            nodes.append(node);
    }
    return nodes;
}

void TreeView::followSelection(NodeIndex node)
{
    if (m_tree->inBatch() || m_following)
        return;
    const QScopedValueRollback guard(m_following, true);
    const QModelIndex index = m_model->indexOf(node);
    if (index.isValid())
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    else
        selectionModel()->clear();
}

void TreeView::followExpansion(NodeIndex node, bool expanded)
{
    if (!m_tree->inBatch() && !m_following) {
        const QScopedValueRollback guard(m_following, true);
        setExpanded(m_model->indexOf(node), expanded);
    }
    if (!expanded)
        emit Collapse(node);
}

void TreeView::followBatch()
{
    const QScopedValueRollback guard(m_following, true);
    const NodeIndex count = m_tree->count();
    // Not expandAll(): it marks the values open too, and Left on an open value only "closes"
    // it instead of moving to its key. Expanding while a layout is pending only records the
    // state; the layout that follows then runs once for all of them.
    collapseAll();
    scheduleDelayedItemsLayout();
    for (int i = 1; i <= count; ++i) {
        const auto node = static_cast<NodeIndex>(i);
        if (m_tree->childCount(node) > 0 && m_tree->expanded(node))
            expand(m_model->indexOf(node));
    }
    const QModelIndex current = m_model->indexOf(m_tree->selected());
    if (current.isValid())
        selectionModel()->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect);
    if (m_pendingScroll != 0) {
        scrollTo(m_model->indexOf(m_pendingScroll));
        m_pendingScroll = 0;
    }
}

void TreeView::userExpanded(const QModelIndex &index, bool expanded)
{
    if (m_following)
        return;
    if (const NodeIndex node = m_model->nodeAt(index))
        m_tree->setExpanded(node, expanded);
}

void TreeView::mousePressEvent(QMouseEvent *event)
{
    // Below the last row a press would take the highlight away while the value box went on
    // editing the selected node; the selection stays as it is and only the focus comes here.
    if (!indexAt(event->position().toPoint()).isValid()) {
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    m_currentAtPress = m_model->nodeAt(currentIndex());
    QTreeView::mousePressEvent(event);
}

void TreeView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (indexAt(event->position().toPoint()).isValid())
        QTreeView::mouseDoubleClickEvent(event);
    else
        event->accept();
}

// QTreeView numbers rows for screen readers as if its hidden header stood above them, so its
// own focus and selection news would name the row below; these are told here instead.
void TreeView::announce(QAccessible::Event what, const QModelIndex &index)
{
    if (!QAccessible::isActive() || !index.isValid())
        return;
    const auto *self = dynamic_cast<TreeAccessible *>(QAccessible::queryAccessibleInterface(this));
    if (!self)
        return;
    QAccessibleEvent event(this, what);
    event.setChild(self->rowOf(index));
    QAccessible::updateAccessibility(&event);
}

void TreeView::selectionChanged(const QItemSelection &selected, const QItemSelection &deselected)
{
    // Past QTreeView on purpose: its own notice would name the wrong row.
    // NOLINTNEXTLINE(bugprone-parent-virtual-call)
    QAbstractItemView::selectionChanged(selected, deselected);
    announce(QAccessible::SelectionAdd, selected.indexes().value(0));
}

void TreeView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    // NOLINTNEXTLINE(bugprone-parent-virtual-call): past QTreeView, as above
    QAbstractItemView::currentChanged(current, previous);
    if (hasFocus())
        announce(QAccessible::Focus, current);
    const NodeIndex node = m_model->nodeAt(current);
    if (m_following || node == 0 || m_tree->inBatch() || m_model->removingRows())
        return;
    {
        const QScopedValueRollback guard(m_following, true);
        m_tree->select(node);
    }
    emit NodeClick(node);
}

void TreeView::userClicked(const QModelIndex &index)
{
    // A click that moved the selection has already been reported by currentChanged.
    const NodeIndex node = m_model->nodeAt(index);
    if (node != 0 && node == m_currentAtPress && node == m_tree->selected())
        emit NodeClick(node);
}

bool TreeView::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    // An in-place editor would freeze the window for seconds laying out a value of megabytes;
    // such a value is edited in the value box, which lays out only what it shows.
    const NodeIndex node = m_model->nodeAt(index);
    if ((trigger == AllEditTriggers || (editTriggers() & trigger)) && node != 0 &&
        m_tree->text(node).size() > kLongValue) {
        emit longValueEditRequested();
        return false;
    }
    if (!QTreeView::edit(index, trigger, event))
        return false;
    if (auto *editor = qobject_cast<QLineEdit *>(indexWidget(index))) {
        m_labelEditAt = index;
        connect(editor, &QLineEdit::textChanged, this, &TreeView::labelEditChanged,
                Qt::UniqueConnection);
        emit labelEditChanged();
    }
    return true;
}

void TreeView::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    QTreeView::closeEditor(editor, hint);
    m_labelEditAt = QPersistentModelIndex();
    emit labelEditChanged();
}

bool TreeView::labelEditPending() const
{
    const auto *editor = qobject_cast<QLineEdit *>(indexWidget(m_labelEditAt));
    const NodeIndex node = m_model->nodeAt(m_labelEditAt);
    return editor && node != 0 && editor->text() != m_tree->text(node);
}

void TreeView::commitLabelEdit()
{
    if (QWidget *editor = indexWidget(m_labelEditAt)) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void TreeView::storeLabelEdit(NodeIndex node, const QString &text)
{
    bool cancel = false;
    emit AfterLabelEdit(node, &cancel, text);
    if (!cancel && m_tree->contains(node))
        m_tree->setText(node, text);
}
