#include "document/weapon_tree.h"

#include <algorithm>

QString Node::Text() const { return m_tree->text(m_index); }
void Node::setText(const QString &text) const { m_tree->setText(m_index, text); }
std::optional<QString> Node::Key() const { return m_tree->key(m_index); }
qint16 Node::Image() const { return m_tree->image(m_index); }
bool Node::Bold() const { return m_tree->bold(m_index); }
void Node::setBold(bool bold) const { m_tree->setBold(m_index, bold); }
bool Node::Expanded() const { return m_tree->expanded(m_index); }
void Node::setExpanded(bool expanded) const { m_tree->setExpanded(m_index, expanded); }
bool Node::Selected() const { return m_tree->selected() == m_index; }
void Node::setSelected() const { m_tree->select(m_index); }
qint16 Node::Children() const { return m_tree->childCount(m_index); }
NodeKind Node::Kind() const { return m_tree->kind(m_index); }
void Node::EnsureVisible() const { m_tree->ensureVisible(m_index); }

std::optional<Node> Node::Parent() const
{
    const NodeIndex parent = m_tree->parent(m_index);
    if (parent == 0)
        return std::nullopt;
    return Node(m_tree, parent);
}

AddResult Nodes::Add(const Relative &relative, Relationship /*relationship*/,
                     const std::optional<QString> &key, const QString &text, qint16 image)
{
    return m_tree->add(relative, key, text, image);
}

void Nodes::Clear() { m_tree->clear(); }
NodeIndex Nodes::Count() const { return m_tree->count(); }

std::optional<Node> Nodes::Item(NodeIndex index) const
{
    if (!m_tree->contains(index))
        return std::nullopt;
    return Node(m_tree, index);
}

WeaponTree::WeaponTree(QObject *parent) : QObject(parent) {}

std::optional<Node> WeaponTree::SelectedItem()
{
    if (m_selected == 0)
        return std::nullopt;
    return Node(this, m_selected);
}

AddResult WeaponTree::addRoot(const QString &header)
{
    return add(std::monostate{}, header, header, kImageRoot);
}

AddResult WeaponTree::appendPair(const Relative &root, const QString &key, const QString &value)
{
    // Both nodes or neither: a key without its value would break the alternation the file
    // writer relies on.
    if (count() > kMaxNodes - 2)
        return {std::nullopt, AddError::Full};
    AddResult keyNode = add(root, key, key, kImageKey);
    if (!keyNode)
        return keyNode;
    setBold(count(), true);
    return add(key, std::nullopt, value, kImageValue);
}

std::optional<QString> WeaponTree::key(NodeIndex index) const
{
    const NodeData &node = at(index);
    if (!node.hasKey)
        return std::nullopt;
    return node.key;
}

qint16 WeaponTree::childCount(NodeIndex index) const
{
    return static_cast<qint16>(at(index).children.size());
}

int WeaponTree::childCountOf(NodeIndex parent) const
{
    return static_cast<int>(parent == 0 ? m_topLevel.size() : at(parent).children.size());
}

NodeIndex WeaponTree::child(NodeIndex parent, int row) const
{
    if (row < 0 || row >= childCountOf(parent))
        return 0;
    return parent == 0 ? m_topLevel[static_cast<size_t>(row)] : at(parent).children[row];
}

NodeKind WeaponTree::kind(NodeIndex index) const
{
    const NodeIndex parent = at(index).parent;
    if (parent == 0)
        return NodeKind::Root;
    return at(parent).parent == 0 ? NodeKind::Key : NodeKind::Value;
}

NodeIndex WeaponTree::keyNode(const QString &key) const
{
    const auto it = m_keys.constFind(key);
    if (it == m_keys.constEnd() || *it == 0 || kind(*it) != NodeKind::Key)
        return 0;
    return *it;
}

NodeIndex WeaponTree::resolve(const Relative &relative, bool &found) const
{
    found = true;
    if (const Node *node = std::get_if<Node>(&relative)) {
        found = contains(node->Index());
        return node->Index();
    }
    if (const QString *key = std::get_if<QString>(&relative)) {
        const auto it = m_keys.constFind(*key);
        // A zero entry is the slot add() is filling for the node that names itself.
        found = it != m_keys.constEnd() && *it != 0;
        return found ? *it : NodeIndex{0};
    }
    return 0;
}

AddResult WeaponTree::add(const Relative &relative, const std::optional<QString> &key,
                          const QString &text, qint16 image)
{
    if (count() >= kMaxNodes)
        return {std::nullopt, AddError::Full};
    // One hash lookup for both the test and the entry; the entry is filled in below.
    NodeIndex *keySlot = nullptr;
    if (key) {
        keySlot = &m_keys[*key];
        if (*keySlot != 0)
            return {std::nullopt, AddError::KeyInUse};
    }
    bool found = false;
    const NodeIndex parent = resolve(relative, found);
    if (!found) {
        if (key)
            m_keys.remove(*key);
        return {std::nullopt, AddError::NoSuchRelative};
    }
    const auto index = static_cast<NodeIndex>(count() + 1);
    if (keySlot)
        *keySlot = index;

    const int row = childCountOf(parent);
    emit aboutToAdd(parent, row);
    NodeData node;
    node.text = text;
    node.hasKey = key.has_value();
    if (key)
        node.key = *key;
    node.image = image;
    node.parent = parent;
    node.row = static_cast<qint16>(row);
    // Before the push_back below, which may move the parent's children list along with m_nodes.
    if (parent == 0)
        m_topLevel.push_back(index);
    else
        at(parent).children.append(index);
    m_nodes.push_back(std::move(node));
    emit added(index);
    return {Node(this, index), AddError::None};
}

bool WeaponTree::removeLastPair()
{
    const auto value = count();
    const auto key = static_cast<NodeIndex>(value - 1);
    if (key < 2 || kind(key) != NodeKind::Key || parent(value) != key || childCount(key) != 1)
        return false;
    const NodeIndex above = parent(key);
    const bool selectedInside = m_selected == key || m_selected == value;
    emit aboutToRemove(above, row(key));
    m_keys.remove(at(key).key);
    if (above == 0)
        m_topLevel.pop_back();
    else
        at(above).children.removeLast();
    m_nodes.resize(m_nodes.size() - 2);
    if (selectedInside)
        m_selected = above;
    emit removed();
    if (selectedInside)
        emit selectionChanged(above);
    return true;
}

void WeaponTree::adopt(WeaponTree &other)
{
    const WeaponTreeBatch batch(*this);
    emit aboutToClear();
    m_nodes.swap(other.m_nodes);
    m_topLevel.swap(other.m_topLevel);
    m_keys.swap(other.m_keys);
    std::swap(m_selected, other.m_selected);
    emit cleared();
    other.clear();
}

void WeaponTree::clear()
{
    emit aboutToClear();
    m_nodes.clear();
    m_topLevel.clear();
    m_keys.clear();
    m_selected = 0;
    emit cleared();
}

void WeaponTree::reserve(int nodes)
{
    const int wanted = std::min<int>(nodes, kMaxNodes);
    m_nodes.reserve(static_cast<size_t>(wanted));
    m_keys.reserve(wanted / 2 + 1);
}

void WeaponTree::setText(NodeIndex index, const QString &text)
{
    NodeData &node = at(index);
    if (node.text == text)
        return;
    node.text = text;
    emit textChanged(index);
}

void WeaponTree::setBold(NodeIndex index, bool bold)
{
    NodeData &node = at(index);
    if (node.bold == bold)
        return;
    node.bold = bold;
    emit boldChanged(index);
}

bool WeaponTree::isAncestor(NodeIndex ancestor, NodeIndex node) const
{
    for (NodeIndex up = at(node).parent; up != 0; up = at(up).parent) {
        if (up == ancestor)
            return true;
    }
    return false;
}

void WeaponTree::setExpanded(NodeIndex index, bool expanded)
{
    NodeData &node = at(index);
    if (node.expanded == expanded)
        return;
    node.expanded = expanded;
    // The selection never hides inside a collapsed branch: it moves up to the node that
    // closed over it, before anyone hears of the collapse.
    if (!expanded && m_selected != 0 && isAncestor(index, m_selected))
        setSelection(index);
    emit expandedChanged(index, expanded);
}

void WeaponTree::setSelection(NodeIndex index)
{
    if (m_selected == index)
        return;
    m_selected = index;
    emit selectionChanged(index);
}

void WeaponTree::select(NodeIndex index)
{
    ensureVisible(index);
    setSelection(index);
}

void WeaponTree::ensureVisible(NodeIndex index)
{
    std::vector<NodeIndex> ancestors;
    for (NodeIndex up = at(index).parent; up != 0; up = at(up).parent)
        ancestors.push_back(up);
    // From the top down, so that no collapse event sees a half-opened path.
    for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it)
        setExpanded(*it, true);
    emit ensureVisibleRequested(index);
}

void WeaponTree::beginBatch()
{
    if (m_batchDepth++ == 0)
        emit batchStarted();
}

void WeaponTree::endBatch()
{
    if (--m_batchDepth == 0)
        emit batchFinished();
}
