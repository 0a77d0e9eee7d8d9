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

signals:
    void aboutToClear();
    void cleared();
    void aboutToAdd(NodeIndex parent, int row);
    void added(NodeIndex index);
    // parent's child at row goes, with everything below it.
    void aboutToRemove(NodeIndex parent, int row);
    void removed();
    void textChanged(NodeIndex index);
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
        // Most nodes have one child or none; one fits without a heap allocation.
        QVarLengthArray<NodeIndex, 1> children;
    };

    const NodeData &at(NodeIndex index) const { return m_nodes[static_cast<size_t>(index - 1)]; }
    NodeData &at(NodeIndex index) { return m_nodes[static_cast<size_t>(index - 1)]; }
    NodeIndex resolve(const Relative &relative, bool &found) const;
    bool isAncestor(NodeIndex ancestor, NodeIndex node) const;
    void setSelection(NodeIndex index);

    std::vector<NodeData> m_nodes;
    std::vector<NodeIndex> m_topLevel;
    QHash<QString, NodeIndex> m_keys;
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
