#pragma once

#include "collection/csv_exchange.h"

#include <QUndoCommand>

// Cells changed together, undone together: a typed value, a bulk set, an adjustment, a paste.
class CellEditStep : public QUndoCommand
{
public:
    CellEditStep(WeaponCollection &weapons, QList<CellEdit> edits, const QString &name);
    void redo() override;
    void undo() override;

private:
    WeaponCollection &m_weapons;
    QList<CellEdit> m_edits;
    quint64 m_step;
};

// An import: new keys as columns, then every value, undone in one go.
class ImportStep : public QUndoCommand
{
public:
    ImportStep(WeaponCollection &weapons, ImportPlan plan);
    void redo() override;
    void undo() override;

private:
    WeaponCollection &m_weapons;
    ImportPlan m_plan;
    quint64 m_step;
};
