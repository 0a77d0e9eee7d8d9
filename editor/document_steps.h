#pragma once

#include "document/weapon_tree.h"

#include <QUndoCommand>
#include <functional>

// The undoable changes to a document. Each is recorded after the change was made, so its first
// redo does nothing; later ones change the tree through its own API and then show the node they
// touched, so that the user sees what was taken back or done again.
using ShowNode = std::function<void(NodeIndex)>;

// Steps kept for Undo; the oldest go first. Each text step keeps only the part of the text it
// replaced, so a keystroke in a value of megabytes costs bytes, not megabytes.
inline constexpr int kUndoLimit = 1000;

// What one text change replaced: from position at, removed gave way to inserted.
struct TextSplice {
    qsizetype at = 0;
    QString removed;
    QString inserted;
};

// The shortest splice that turns before into after.
TextSplice splice_between(const QString &before, const QString &after);

class ChangeTextStep : public QUndoCommand
{
public:
    // The node's text has just changed from before. Steps of the same run on the same node
    // merge into one; a run of -1 never merges.
    ChangeTextStep(WeaponTree &tree, NodeIndex node, const QString &before, int run, ShowNode show);
    // The node's text has just changed by splice.
    ChangeTextStep(WeaponTree &tree, NodeIndex node, TextSplice splice, int run, ShowNode show);

    void undo() override;
    void redo() override;
    int id() const override { return m_run < 0 ? -1 : 1; }
    // Pushed right after its change, other finds the tree holding its own after text.
    bool mergeWith(const QUndoCommand *other) override;

private:
    WeaponTree &m_tree;
    NodeIndex m_node;
    TextSplice m_splice;
    int m_run;
    ShowNode m_show;
    bool m_done = true;
};

class NewKeyStep : public QUndoCommand
{
public:
    // The pair just appended as the tree's last; selectedBefore is shown again on undo.
    NewKeyStep(WeaponTree &tree, NodeIndex selectedBefore, ShowNode show);

    void undo() override;
    void redo() override;

private:
    WeaponTree &m_tree;
    QString m_key;
    QString m_value;
    NodeIndex m_selectedBefore;
    ShowNode m_show;
    bool m_done = true;
};
