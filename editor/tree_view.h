#pragma once

#include "document/weapon_tree.h"

#include <QAccessible>
#include <QTreeView>

class ImageList;
class WeaponTreeModel;

// The tree control Tv: a view over a document's WeaponTree. What the user does here goes back
// into the tree and comes out as the control's events; what the program does to the tree
// shows here without raising NodeClick.
class TreeView : public QTreeView
{
    Q_OBJECT

public:
    enum LabelEditMode { tvwAutomatic = 0, tvwManual = 1 };

    // The tree and the node pictures in images must outlive the view.
    TreeView(WeaponTree &tree, const ImageList &images, QWidget *parent = nullptr);

    WeaponTree &tree() { return *m_tree; }
    WeaponTreeModel &weaponModel() { return *m_model; }
    int LabelEdit() const { return m_labelEdit; }
    void setLabelEdit(int mode);
    void SetFocus() { setFocus(Qt::OtherFocusReason); }
    // Every node selected with Shift and Ctrl, the current one included, in no set order.
    QList<NodeIndex> selectedNodes() const;
    // True while an in-place editor is open with a text its node does not hold yet.
    bool labelEditPending() const;
    // Stores the open in-place editor's text into the node it was opened on, as the user's
    // Enter would, and closes it. Nothing happens while none is open.
    void commitLabelEdit();
    using QTreeView::edit;

signals:
    void NodeClick(NodeIndex node);
    void Collapse(NodeIndex node);
    // Raised before an in-place edit of node is stored; a receiver may set *cancel to keep the
    // old text. The selection may have moved on since the editor was opened.
    void AfterLabelEdit(NodeIndex node, bool *cancel, const QString &newText);
    // The in-place editor opened, closed, or its text changed.
    void labelEditChanged();
    // An in-place edit was asked for on a value too long for a line editor to open quickly.
    void longValueEditRequested();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void selectionChanged(const QItemSelection &selected,
                          const QItemSelection &deselected) override;

private:
    void followSelection(NodeIndex node);
    void followExpansion(NodeIndex node, bool expanded);
    void followBatch();
    void userExpanded(const QModelIndex &index, bool expanded);
    void userClicked(const QModelIndex &index);
    void storeLabelEdit(NodeIndex node, const QString &text);
    void announce(QAccessible::Event what, const QModelIndex &index);

    WeaponTree *m_tree;
    WeaponTreeModel *m_model;
    int m_labelEdit = tvwManual;
    bool m_following = false;
    NodeIndex m_currentAtPress = 0;
    NodeIndex m_pendingScroll = 0;
    // Where the in-place editor was opened; it stays on its row while rows come and go.
    QPersistentModelIndex m_labelEditAt;
};
