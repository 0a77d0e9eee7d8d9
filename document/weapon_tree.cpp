#include "document/weapon_tree.h"

#include <QSet>

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
    node.id = newId(index);
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
    emit aboutToRemove(above, row(key), row(key));
    m_keys.remove(at(key).key);
    m_indexOfId[at(key).id] = 0;
    m_indexOfId[at(value).id] = 0;
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
    m_indexOfId.swap(other.m_indexOfId);
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
    m_indexOfId.clear();
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

void WeaponTree::replaceText(NodeIndex index, qsizetype from, qsizetype length,
                             QStringView inserted)
{
    if (length == 0 && inserted.isEmpty())
        return;
    at(index).text.replace(from, length, inserted.data(), inserted.size());
    emit textChanged(index, from);
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

// Pair editing. A weapon-shaped tree numbers its nodes in file order: the header 1, then each
// key followed by its value, so the pair at row r is nodes 2r + 2 and 2r + 3. After every
// change below the numbers are dealt out again in that order, and the nodes keep their ids.

bool WeaponTree::isWeaponShaped() const
{
    if (m_topLevel.size() != 1 || m_topLevel.front() != 1)
        return false;
    const int pairs = childCountOf(1);
    if (count() != 2 * pairs + 1)
        return false;
    for (int row = 0; row < pairs; ++row) {
        const NodeData &key = at(pairKey(row));
        if (key.parent != 1 || key.children.size() != 1 || key.children[0] != pairKey(row) + 1)
            return false;
    }
    return true;
}

int WeaponTree::pairRow(NodeIndex node) const
{
    if (!contains(node) || kind(node) == NodeKind::Root)
        return -1;
    return row(kind(node) == NodeKind::Key ? node : parent(node));
}

WeaponPair WeaponTree::pairAt(int row) const
{
    const NodeIndex key = pairKey(row);
    return {at(key).key, text(static_cast<NodeIndex>(key + 1))};
}

void WeaponTree::renumberPairs(int first, int last)
{
    NodeData &root = at(1);
    for (int row = first; row <= last; ++row) {
        const NodeIndex key = pairKey(row);
        const auto value = static_cast<NodeIndex>(key + 1);
        NodeData &k = at(key);
        k.parent = 1;
        k.row = static_cast<qint16>(row);
        k.children[0] = value;
        at(value).parent = key;
        root.children[row] = key;
        m_indexOfId[k.id] = key;
        m_indexOfId[at(value).id] = value;
        m_keys.insert(k.key, key);
    }
}

quint32 WeaponTree::newId(NodeIndex index)
{
    m_indexOfId.push_back(index);
    return static_cast<quint32>(m_indexOfId.size() - 1);
}

std::optional<quint32> WeaponTree::selectedId() const
{
    if (m_selected == 0)
        return std::nullopt;
    return at(m_selected).id;
}

void WeaponTree::reselect(std::optional<quint32> id)
{
    if (id)
        m_selected = nodeOfId(*id);
}

bool WeaponTree::removePairs(int row, int count)
{
    const int pairs = isWeaponShaped() ? childCountOf(1) : 0;
    if (row < 0 || count < 1 || row + count > pairs)
        return false;
    const std::optional<quint32> selection = selectedId();
    const int selectedRow = pairRow(m_selected);
    emit aboutToRemove(1, row, row + count - 1);
    const auto first = m_nodes.begin() + (2 * row + 1);
    for (auto it = first; it != first + 2 * count; ++it) {
        m_indexOfId[it->id] = 0;
        if (it->hasKey)
            m_keys.remove(it->key);
    }
    m_nodes.erase(first, first + 2 * count);
    at(1).children.resize(pairs - count);
    renumberPairs(row, pairs - count - 1);
    const bool selectionGone = selectedRow >= row && selectedRow < row + count;
    // The next pair takes the place of the ones that went, or the one before at the end.
    const int next = std::min(row, pairs - count - 1);
    if (selectionGone)
        m_selected = next >= 0 ? pairKey(next) : NodeIndex(1);
    else
        reselect(selection);
    emit removed();
    if (selectionGone)
        emit selectionChanged(m_selected);
    return true;
}

bool WeaponTree::movePair(int from, int to)
{
    const int pairs = isWeaponShaped() ? childCountOf(1) : 0;
    if (from < 0 || to < 0 || from >= pairs || to >= pairs || from == to)
        return false;
    const std::optional<quint32> selection = selectedId();
    // Qt counts the destination before the move: below the moved row it is one further on.
    emit aboutToMove(1, from, to > from ? to + 1 : to);
    const auto pairAt = [this](int row) { return m_nodes.begin() + (2 * row + 1); };
    if (from < to)
        std::rotate(pairAt(from), pairAt(from + 1), pairAt(to + 1));
    else
        std::rotate(pairAt(to), pairAt(from), pairAt(from + 1));
    renumberPairs(std::min(from, to), std::max(from, to));
    reselect(selection);
    emit moved();
    return true;
}

AddError WeaponTree::insertPairs(int row, const QList<WeaponPair> &pairs)
{
    const int existing = isWeaponShaped() ? childCountOf(1) : -1;
    if (row < 0 || row > existing)
        return AddError::NoSuchRelative;
    if (count() + 2 * pairs.size() > kMaxNodes)
        return AddError::Full;
    QSet<QString> seen;
    for (const WeaponPair &pair : pairs) {
        if (m_keys.contains(pair.key) || seen.contains(pair.key))
            return AddError::KeyInUse;
        seen.insert(pair.key);
    }
    if (pairs.isEmpty())
        return AddError::None;
    const std::optional<quint32> selection = selectedId();
    emit aboutToInsert(1, row, row + int(pairs.size()) - 1);
    std::vector<NodeData> fresh(2 * static_cast<size_t>(pairs.size()));
    for (qsizetype i = 0; i < pairs.size(); ++i) {
        NodeData &key = fresh[2 * size_t(i)];
        key.text = key.key = pairs[i].key;
        key.hasKey = key.bold = true;
        key.image = kImageKey;
        key.children.append(0);
        NodeData &value = fresh[2 * size_t(i) + 1];
        value.text = pairs[i].value;
        value.image = kImageValue;
        key.id = newId(0);
        value.id = newId(0);
    }
    m_nodes.insert(m_nodes.begin() + (2 * row + 1), std::make_move_iterator(fresh.begin()),
                   std::make_move_iterator(fresh.end()));
    at(1).children.resize(existing + pairs.size());
    renumberPairs(row, existing + int(pairs.size()) - 1);
    reselect(selection);
    emit inserted();
    return AddError::None;
}

AddError WeaponTree::renameKey(NodeIndex key, const QString &name)
{
    if (!contains(key) || kind(key) != NodeKind::Key)
        return AddError::NoSuchRelative;
    NodeData &node = at(key);
    if (node.key == name)
        return AddError::None;
    if (m_keys.contains(name))
        return AddError::KeyInUse;
    m_keys.remove(node.key);
    m_keys.insert(name, key);
    node.key = name;
    node.text = name;
    emit keyChanged(key);
    emit textChanged(key);
    return AddError::None;
}
