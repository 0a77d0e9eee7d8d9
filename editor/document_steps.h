#pragma once

#include "document/weapon_tree.h"

#include <QUndoCommand>
#include <functional>

// The undoable changes to a document. Each is recorded after the change was made, so its first
// redo does nothing; later ones change the tree through its own API and then show the node they
// touched, so that the user sees what was taken back or done again.
using ShowNode = std::function<void(NodeIndex)>;

class ChangeTextStep : public QUndoCommand
{
public:
    // Steps of the same run on the same node merge into one; a run of -1 never merges.
    ChangeTextStep(WeaponTree &tree, NodeIndex node, QString before, int run, ShowNode show);

    void undo() override;
    void redo() override;
    int id() const override { return m_run < 0 ? -1 : 1; }
    bool mergeWith(const QUndoCommand *other) override;

private:
    WeaponTree &m_tree;
    NodeIndex m_node;
    QString m_before;
    QString m_after;
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
