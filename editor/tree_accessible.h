#pragma once

#include <QAccessibleWidget>
#include <QPersistentModelIndex>
#include <QPointer>

class QTreeView;

// What a screen reader sees of a tree view: one item per row on screen, in the order shown,
// and no column header, since the view shows none. Each item reads its name and description
// from the model's accessible roles.
class TreeAccessible : public QAccessibleWidget
{
public:
    explicit TreeAccessible(QTreeView *view);
    ~TreeAccessible() override;

    // Makes every TreeView answer screen readers through this class.
    static void install();

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *focusChild() const override;

    // The position among the children of the row at index, or -1 when it is not shown.
    int rowOf(const QModelIndex &index) const;

private:
    QTreeView *view() const;
    const QList<QPersistentModelIndex> &rows() const;
    void follow(QAbstractItemModel *model) const;
    void forget() const;

    mutable QPointer<QAbstractItemModel> m_model;
    mutable QList<QMetaObject::Connection> m_modelConnections;
    mutable QList<QPersistentModelIndex> m_rows;
    mutable bool m_rowsKnown = false;
    mutable QHash<QPersistentModelIndex, QAccessible::Id> m_items;
};
