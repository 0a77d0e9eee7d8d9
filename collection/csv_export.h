#pragma once

#include "collection/weapon_collection.h"

// The CSV of the given rows and columns of a table: a header of "file" and the keys, then a
// record per weapon holding its path and its values as stored; a missing value is an empty field.
QByteArray export_csv(const WeaponCollection &weapons, const QList<int> &rows,
                      const QList<int> &columns);
// Every row and every column, in path order and order of first appearance.
QByteArray export_csv(const WeaponCollection &weapons);
