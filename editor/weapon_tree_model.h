#pragma once

#include "document/weapon_tree.h"

#include <QAbstractItemModel>
#include <QFont>
#include <QIcon>
#include <functional>

// What a row of the tree shows of text: all of it, or for a very long text as much as a row can
// show, ended by an ellipsis. The node and the value box keep the whole text.
QString shown_in_row(const QString &text);

// Shows a WeaponTree to item views. It keeps no copy of the document: every answer is read
// from the tree, and the tree's change signals become the model's notifications. A batch of
// structural changes (a load) becomes one reset instead of thousands of row insertions.
class WeaponTreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    using IconForImage = std::function<QIcon(int image)>;

    WeaponTreeModel(WeaponTree &tree, IconForImage iconForImage, QObject *parent = nullptr);

    QModelIndex indexOf(NodeIndex node) const;
    // True while rows are going: the view's own moves of its current row then mean nothing.
    bool removingRows() const { return m_removing; }
    NodeIndex nodeAt(const QModelIndex &index) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    // The user finished an in-place edit; the tree is left for the receiver to change.
    void labelEdited(NodeIndex node, const QString &text);

private:
    void beginStructureChange();
    void nodeChanged(NodeIndex node, int role);
    QString description(NodeIndex node) const;

    WeaponTree &m_tree;
    IconForImage m_iconForImage;
    mutable QHash<int, QIcon> m_icons;
    QFont m_boldFont;
    bool m_resetting = false;
    bool m_removing = false;
};
