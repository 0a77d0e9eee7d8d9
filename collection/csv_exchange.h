#pragma once

#include "collection/csv.h"
#include "collection/csv_export.h"
#include "collection/weapon_collection.h"

// What importing a CSV into a table would do, worked out before anything changes.
struct ImportPlan {
    QStringList newKeys;     // header keys the table does not have yet, to add as columns
    QList<CellEdit> edits;   // every cell that changes; new keys' columns follow the table's
    QStringList unknownRows; // "file" fields that name no weapon of the table
    int weapons = 0;         // how many weapons change
    int weaponsGainingKeys = 0;

    // "37 values in 12 weapons will change; 2 rows name no weapon of this table: a.wpn, b.wpn;
    // 1 column is not a key yet and will be added to 5 weapons"
    QString summary() const;
};

// Matches the CSV's records to weapons by their "file" field and its columns to keys. A value
// for a missing cell adds the pair; an empty field leaves a missing cell missing and empties a
// present one. Refuses, naming the line and column, a CSV without a "file" column, the same
// weapon or key twice, and a key or value the weapon file cannot keep.
bool plan_import(const WeaponCollection &weapons, const CsvTable &csv, ImportPlan &plan,
                 CsvError &error);

// Applies a plan to the table as one step, with nothing written to disk.
void apply_import(WeaponCollection &weapons, const ImportPlan &plan, quint64 step);
void revert_import(WeaponCollection &weapons, const ImportPlan &plan, quint64 step);
