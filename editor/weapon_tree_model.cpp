#include "editor/weapon_tree_model.h"

namespace
{

// More characters than any row of the tree can show. A row elides what it is given, and eliding
// lays out the whole text on every repaint: seconds for a value of millions of characters.
constexpr qsizetype kShownLength = 2000;

} // namespace

QString shown_in_row(const QString &text)
{
    if (text.size() <= kShownLength)
        return text;
    // Never half of a character that takes two.
    const qsizetype cut =
        text[kShownLength - 1].isHighSurrogate() ? kShownLength - 1 : kShownLength;
    return text.left(cut) + QChar(0x2026);
}

WeaponTreeModel::WeaponTreeModel(WeaponTree &tree, IconForImage iconForImage, QObject *parent)
    : QAbstractItemModel(parent), m_tree(tree), m_iconForImage(std::move(iconForImage))
{
    m_boldFont.setBold(true);
    connect(&tree, &WeaponTree::aboutToClear, this, [this] { beginStructureChange(); });
    connect(&tree, &WeaponTree::cleared, this, [this] {
        if (!m_tree.inBatch()) {
            endResetModel();
            m_resetting = false;
        }
    });
    connect(&tree, &WeaponTree::aboutToAdd, this, [this](NodeIndex parent, int row) {
        if (m_tree.inBatch())
            beginStructureChange();
        else
            beginInsertRows(indexOf(parent), row, row);
    });
    connect(&tree, &WeaponTree::added, this, [this] {
        if (!m_resetting)
            endInsertRows();
    });
    connect(&tree, &WeaponTree::aboutToRemove, this, [this](NodeIndex parent, int first, int last) {
        m_removing = true;
        if (m_tree.inBatch())
            beginStructureChange();
        else
            beginRemoveRows(indexOf(parent), first, last);
    });
    connect(&tree, &WeaponTree::removed, this, [this] {
        if (!m_resetting)
            endRemoveRows();
        m_removing = false;
    });
    connect(&tree, &WeaponTree::aboutToInsert, this, [this](NodeIndex parent, int first, int last) {
        if (m_tree.inBatch())
            beginStructureChange();
        else
            beginInsertRows(indexOf(parent), first, last);
    });
    connect(&tree, &WeaponTree::inserted, this, [this] {
        if (!m_resetting)
            endInsertRows();
    });
    connect(&tree, &WeaponTree::aboutToMove, this, [this](NodeIndex parent, int row, int to) {
        m_removing = true;
        if (m_tree.inBatch())
            beginStructureChange();
        else
            beginMoveRows(indexOf(parent), row, row, indexOf(parent), to);
    });
    connect(&tree, &WeaponTree::moved, this, [this] {
        if (!m_resetting)
            endMoveRows();
        m_removing = false;
    });
    // A value's description names its key.
    connect(&tree, &WeaponTree::keyChanged, this, [this](NodeIndex key) {
        if (m_tree.childCount(key) > 0)
            nodeChanged(m_tree.child(key, 0), Qt::AccessibleDescriptionRole);
    });
    // Typing far into a long value leaves its row as it was: the row shows only its start.
    connect(&tree, &WeaponTree::textChanged, this, [this](NodeIndex node, qsizetype from) {
        if (from <= kShownLength)
            nodeChanged(node, Qt::DisplayRole);
    });
    connect(&tree, &WeaponTree::boldChanged, this,
            [this](NodeIndex node) { nodeChanged(node, Qt::FontRole); });
    connect(&tree, &WeaponTree::batchFinished, this, [this] {
        if (m_resetting) {
            m_resetting = false;
            endResetModel();
        }
    });
}

void WeaponTreeModel::beginStructureChange()
{
    if (m_resetting)
        return;
    m_resetting = true;
    beginResetModel();
}

void WeaponTreeModel::nodeChanged(NodeIndex node, int role)
{
    if (m_resetting)
        return;
    const QModelIndex index = indexOf(node);
    QList<int> roles{role};
    if (role == Qt::DisplayRole)
        roles.append(Qt::EditRole);
    emit dataChanged(index, index, roles);
}

QModelIndex WeaponTreeModel::indexOf(NodeIndex node) const
{
    if (!m_tree.contains(node))
        return {};
    return createIndex(m_tree.row(node), 0, static_cast<quintptr>(m_tree.nodeId(node)));
}

NodeIndex WeaponTreeModel::nodeAt(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return 0;
    return m_tree.nodeOfId(static_cast<quint32>(index.internalId()));
}

QModelIndex WeaponTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || (parent.isValid() && parent.column() != 0))
        return {};
    const NodeIndex node = m_tree.child(nodeAt(parent), row);
    return node == 0 ? QModelIndex()
                     : createIndex(row, 0, static_cast<quintptr>(m_tree.nodeId(node)));
}

QModelIndex WeaponTreeModel::parent(const QModelIndex &child) const
{
    const NodeIndex node = nodeAt(child);
    return node == 0 ? QModelIndex() : indexOf(m_tree.parent(node));
}

int WeaponTreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    return m_tree.childCountOf(nodeAt(parent));
}

int WeaponTreeModel::columnCount(const QModelIndex & /*parent*/) const { return 1; }

QVariant WeaponTreeModel::data(const QModelIndex &index, int role) const
{
    const NodeIndex node = nodeAt(index);
    if (node == 0)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return shown_in_row(m_tree.text(node));
    case Qt::EditRole:
        return m_tree.text(node);
    case Qt::AccessibleTextRole:
        // An empty value is still a row the reader must be able to name.
        return m_tree.text(node).isEmpty() ? QStringLiteral("empty")
                                           : shown_in_row(m_tree.text(node));
    case Qt::AccessibleDescriptionRole:
        return description(node);
    case Qt::DecorationRole: {
        const int image = m_tree.image(node);
        auto it = m_icons.constFind(image);
        if (it == m_icons.constEnd())
            it = m_icons.insert(image, m_iconForImage(image));
        return *it;
    }
    case Qt::FontRole:
        return m_tree.bold(node) ? QVariant(m_boldFont) : QVariant();
    default:
        return {};
    }
}

bool WeaponTreeModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    const NodeIndex node = nodeAt(index);
    if (node == 0 || role != Qt::EditRole)
        return false;
    emit labelEdited(node, value.toString());
    return true;
}

// Read row by row, a value says nothing of its key unless the description tells it.
QString WeaponTreeModel::description(NodeIndex node) const
{
    switch (m_tree.kind(node)) {
    case NodeKind::Root:
        return QStringLiteral("the weapon's header");
    case NodeKind::Key:
        return QStringLiteral("key holding one value");
    case NodeKind::Value:
        break;
    }
    return QStringLiteral("value of %1").arg(shown_in_row(m_tree.text(m_tree.parent(node))));
}

Qt::ItemFlags WeaponTreeModel::flags(const QModelIndex &index) const
{
    const NodeIndex node = nodeAt(index);
    if (node == 0)
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    // Only a node without children holds a value; headers and keys are never edited in place.
    if (m_tree.childCount(node) == 0)
        flags |= Qt::ItemIsEditable;
    return flags;
}
