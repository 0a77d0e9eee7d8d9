#pragma once

#include "document/weapon_tree.h"
#include "editor/document_steps.h"

#include <QUndoCommand>

// The undoable pair commands. Each is pushed before it is done: its first redo does the work,
// through the tree's own pair operations, so that the view hears of rows removed, moved and
// inserted rather than of a new tree.

// Removes the pairs at rows (ascending); undo puts them back where they were.
class DeletePairsStep : public QUndoCommand
{
public:
    DeletePairsStep(WeaponTree &tree, QList<int> rows, ShowNode show);
    void undo() override;
    void redo() override;

private:
    WeaponTree &m_tree;
    QList<int> m_rows;
    QList<WeaponPair> m_pairs;
    NodeIndex m_selectedBefore;
    ShowNode m_show;
};

// Moves the pairs at rows (ascending, none at the edge it moves towards) one row up or down.
class MovePairsStep : public QUndoCommand
{
public:
    MovePairsStep(WeaponTree &tree, QList<int> rows, int by, ShowNode show);
    void undo() override;
    void redo() override;

private:
    void move(int by);

    WeaponTree &m_tree;
    QList<int> m_rows;
    int m_by;
    ShowNode m_show;
};

class RenameKeyStep : public QUndoCommand
{
public:
    RenameKeyStep(WeaponTree &tree, NodeIndex key, QString name, ShowNode show);
    void undo() override;
    void redo() override;

private:
    WeaponTree &m_tree;
    NodeIndex m_key;
    QString m_before;
    QString m_after;
    ShowNode m_show;
};

// Inserts new pairs before row and gives keys already in the tree their new values (Paste and
// Duplicate).
class InsertPairsStep : public QUndoCommand
{
public:
    InsertPairsStep(const QString &text, WeaponTree &tree, int row, QList<WeaponPair> added,
                    QList<WeaponPair> replaced, ShowNode show);
    void undo() override;
    void redo() override;

private:
    void setValues(const QList<WeaponPair> &values);

    WeaponTree &m_tree;
    int m_row;
    QList<WeaponPair> m_added;
    QList<WeaponPair> m_replaced;
    QList<WeaponPair> m_replacedBefore;
    NodeIndex m_selectedBefore;
    ShowNode m_show;
};

// "damage" for one pair, "3 pairs" for more: how steps name what they touched.
QString pairs_name(const QList<WeaponPair> &pairs);
