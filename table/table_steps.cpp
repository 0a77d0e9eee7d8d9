#include "table/table_steps.h"

CellEditStep::CellEditStep(WeaponCollection &weapons, QList<CellEdit> edits, const QString &name)
    : QUndoCommand(name), m_weapons(weapons), m_edits(std::move(edits)), m_step(weapons.newStep())
{
}

void CellEditStep::redo() { m_weapons.apply(m_edits, m_step); }

void CellEditStep::undo() { m_weapons.revert(m_edits, m_step); }

ImportStep::ImportStep(WeaponCollection &weapons, ImportPlan plan)
    : QUndoCommand(QStringLiteral("Import CSV")), m_weapons(weapons), m_plan(std::move(plan)),
      m_step(weapons.newStep())
{
}

void ImportStep::redo() { apply_import(m_weapons, m_plan, m_step); }

void ImportStep::undo() { revert_import(m_weapons, m_plan, m_step); }
