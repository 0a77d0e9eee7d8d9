#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QVarLengthArray>

#include <optional>
#include <variant>
#include <vector>

// Node numbers are 16-bit and 1-based: a weapon holds at most kMaxNodes nodes, and 0 names none.
using NodeIndex = qint16;

inline constexpr NodeIndex kMaxNodes = 32767;

// Pictures of ImageList1 that the document's nodes show.
inline constexpr qint16 kImageKey = 3;
inline constexpr qint16 kImageValue = 4;
inline constexpr qint16 kImageRoot = 7;

// Never stored: a node's kind follows from where it sits.
enum class NodeKind { Root, Key, Value };

enum class Relationship { Child };

enum class AddError { None, KeyInUse, NoSuchRelative, Full };

// One key and its value, as the file holds them.
struct WeaponPair {
    QString key;
    QString value;
    bool operator==(const WeaponPair &) const = default;
};

class WeaponTree;

// A handle on one node of a WeaponTree; cheap to copy, valid until the tree is cleared.
class Node
{
public:
    Node(WeaponTree *tree, NodeIndex index) : m_tree(tree), m_index(index) {}

    NodeIndex Index() const { return m_index; }
    QString Text() const;
    void setText(const QString &text) const;
    std::optional<QString> Key() const;
    qint16 Image() const;
    bool Bold() const;
    void setBold(bool bold) const;
    bool Expanded() const;
    void setExpanded(bool expanded) const;
    bool Selected() const;
    void setSelected() const;
    qint16 Children() const;
    std::optional<Node> Parent() const;
    NodeKind Kind() const;
    void EnsureVisible() const;

    friend bool operator==(const Node &a, const Node &b)
    {
        return a.m_tree == b.m_tree && a.m_index == b.m_index;
    }

private:
    WeaponTree *m_tree;
    NodeIndex m_index;
};

// The relative of Nodes.Add: a node, the Key text of a node, or none (a top-level node).
using Relative = std::variant<std::monostate, Node, QString>;

struct AddResult {
    std::optional<Node> node;
    AddError error = AddError::None;
    explicit operator bool() const { return node.has_value(); }
};

// The ordered node collection of a WeaponTree, numbered from 1 in the order of adding.
class Nodes
{
public:
    explicit Nodes(WeaponTree *tree) : m_tree(tree) {}

    AddResult Add(const Relative &relative, Relationship relationship,
                  const std::optional<QString> &key, const QString &text, qint16 image);
    void Clear();
    NodeIndex Count() const;
    // Empty when index is out of range.
    std::optional<Node> Item(NodeIndex index) const;

private:
    WeaponTree *m_tree;
};

// The open document: one node collection and a selection. Observers follow it through its
// signals; inside a batch (many changes at once) they may ignore the single changes and
// catch up when batchFinished() arrives.
class WeaponTree : public QObject
{
    Q_OBJECT

public:
    explicit WeaponTree(QObject *parent = nullptr);

    Nodes &nodes() { return m_nodesFacade; }
    const Nodes &nodes() const { return m_nodesFacade; }
    std::optional<Node> SelectedItem();

    // Add root and Append pair, the two ways the program grows a document.
    AddResult addRoot(const QString &header);
    AddResult appendPair(const Relative &root, const QString &key, const QString &value);

    NodeIndex count() const { return static_cast<NodeIndex>(m_nodes.size()); }
    bool contains(NodeIndex index) const { return index >= 1 && index <= count(); }
    bool hasKey(const QString &key) const { return m_keys.contains(key); }
    // The key node named key, or 0 when no key (the header aside) has that name.
    NodeIndex keyNode(const QString &key) const;
    const QString &text(NodeIndex index) const { return at(index).text; }
    std::optional<QString> key(NodeIndex index) const;
    qint16 image(NodeIndex index) const { return at(index).image; }
    bool bold(NodeIndex index) const { return at(index).bold; }
    bool expanded(NodeIndex index) const { return at(index).expanded; }
    NodeIndex parent(NodeIndex index) const { return at(index).parent; }
    // Position among the parent's children (or among the top-level nodes), from 0.
    int row(NodeIndex index) const { return at(index).row; }
    qint16 childCount(NodeIndex index) const;
    // Children of parent, or the top-level nodes for parent 0.
    int childCountOf(NodeIndex parent) const;
    NodeIndex child(NodeIndex parent, int row) const;
    NodeKind kind(NodeIndex index) const;
    NodeIndex selected() const { return m_selected; }

    void setText(NodeIndex index, const QString &text);
    // Puts inserted in place of the length characters from from on, in the text itself: a
    // keystroke in a value of megabytes moves its tail instead of copying it.
    void replaceText(NodeIndex index, qsizetype from, qsizetype length, QStringView inserted);
    void setBold(NodeIndex index, bool bold);
    void setExpanded(NodeIndex index, bool expanded);
    void select(NodeIndex index);
    void ensureVisible(NodeIndex index);

    void beginBatch();
    void endBatch();
    bool inBatch() const { return m_batchDepth > 0; }

    AddResult add(const Relative &relative, const std::optional<QString> &key, const QString &text,
                  qint16 image);
    // Takes back the newest Append pair: the last two nodes, when they are a key and its value.
    // A selection inside the pair moves up to the key's parent.
    bool removeLastPair();
    void clear();
    // Takes over other's nodes and selection in one batch, leaving other empty: a document is
    // built aside and only replaces this one once it is whole.
    void adopt(WeaponTree &other);
    // Room for this many nodes, so that a large load does not grow the tree step by step.
    void reserve(int nodes);

    // Pair editing, on a tree shaped as a weapon (isWeaponShaped): the header the only
    // top-level node, each key under it with its value as its one child, numbered in file
    // order, so that the pair at row r is nodes 2r + 2 and 2r + 3. Each change deals the
    // numbers out again in the new order and is announced as rows removed, moved or inserted
    // under the header; the selection stays on the node it was on.
    bool isWeaponShaped() const;
    static NodeIndex pairKey(int row) { return static_cast<NodeIndex>(2 * row + 2); }
    // The row of the pair a key or value belongs to; -1 for the header or no node.
    int pairRow(NodeIndex node) const;
    WeaponPair pairAt(int row) const;
    // Removes count pairs from row on. A selection among them moves to the pair that takes
    // their place, or to the one before at the end, or to the header when none is left.
    bool removePairs(int row, int count);
    // Moves the pair at from so that it stands at row to.
    bool movePair(int from, int to);
    // Inserts pairs (bold keys, collapsed) before the pair at row; row = pair count appends.
    // All or nothing: one key already in use, or named twice, refuses every pair.
    AddError insertPairs(int row, const QList<WeaponPair> &pairs);
    // Gives a key node a new name, as its key and its text.
    AddError renameKey(NodeIndex key, const QString &name);

    // An id of the node at index that stays the same while numbers change, for item models;
    // nodeOfId gives the node's number now, or 0 once it has gone.
    quint32 nodeId(NodeIndex index) const { return at(index).id; }
    NodeIndex nodeOfId(quint32 id) const
    {
        return id < m_indexOfId.size() ? m_indexOfId[id] : NodeIndex(0);
    }

signals:
    void aboutToClear();
    void cleared();
    void aboutToAdd(NodeIndex parent, int row);
    void added(NodeIndex index);
    // parent's children from first to last go, with everything below them.
    void aboutToRemove(NodeIndex parent, int first, int last);
    void removed();
    // New children of parent come in at rows first to last.
    void aboutToInsert(NodeIndex parent, int first, int last);
    void inserted();
    // parent's child at row moves to stand before the child now at destination.
    void aboutToMove(NodeIndex parent, int row, int destination);
    void moved();
    // A key node has a new key (its textChanged follows).
    void keyChanged(NodeIndex index);
    // Characters before from are as they were.
    void textChanged(NodeIndex index, qsizetype from = 0);
    void boldChanged(NodeIndex index);
    void expandedChanged(NodeIndex index, bool expanded);
    void selectionChanged(NodeIndex index);
    void ensureVisibleRequested(NodeIndex index);
    void batchStarted();
    void batchFinished();

private:
    struct NodeData {
        QString text;
        QString key;
        bool hasKey = false;
        bool bold = false;
        bool expanded = false;
        qint16 image = 0;
        NodeIndex parent = 0;
        qint16 row = 0;
        quint32 id = 0;
        // Most nodes have one child or none; one fits without a heap allocation.
        QVarLengthArray<NodeIndex, 1> children;
    };

    const NodeData &at(NodeIndex index) const { return m_nodes[static_cast<size_t>(index - 1)]; }
    NodeData &at(NodeIndex index) { return m_nodes[static_cast<size_t>(index - 1)]; }
    NodeIndex resolve(const Relative &relative, bool &found) const;
    bool isAncestor(NodeIndex ancestor, NodeIndex node) const;
    void setSelection(NodeIndex index);
    quint32 newId(NodeIndex index);
    void renumberPairs(int first, int last);
    // The selection's node id, to find it again once the numbers changed.
    std::optional<quint32> selectedId() const;
    void reselect(std::optional<quint32> id);

    std::vector<NodeData> m_nodes;
    std::vector<NodeIndex> m_topLevel;
    QHash<QString, NodeIndex> m_keys;
    std::vector<NodeIndex> m_indexOfId;
    NodeIndex m_selected = 0;
    int m_batchDepth = 0;
    Nodes m_nodesFacade{this};
};

// Keeps a WeaponTree in one batch for the life of the guard.
class WeaponTreeBatch
{
public:
    explicit WeaponTreeBatch(WeaponTree &tree) : m_tree(tree) { m_tree.beginBatch(); }
    ~WeaponTreeBatch() { m_tree.endBatch(); }
    WeaponTreeBatch(const WeaponTreeBatch &) = delete;
    WeaponTreeBatch &operator=(const WeaponTreeBatch &) = delete;

private:
    WeaponTree &m_tree;
};
