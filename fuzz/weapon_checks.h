#pragma once

// The invariants the weapon-file targets hold the reader and writer to. Any broken one aborts, so
// that libFuzzer keeps the input.

#include "document/weapon_file.h"
#include "document/weapon_tree.h"

#include <QByteArrayView>

#include <cstdint>

// Loads the first line of file into tree without the disk and checks the tree and the status;
// a file that loads is written back and must come out byte for byte.
WeaponFileResult check_in_memory(QByteArrayView file, WeaponTree &tree);

// The same file through the real reader and the careful save: disk and memory must agree, and
// the saved file must be the line and the rest.
void check_on_disk(QByteArrayView file, const WeaponTree &inMemory, const WeaponFileResult &result);

// Makes one node of a loaded tree unwritable, as picked by pick; the writer must refuse it and
// name that node.
void check_refused_edit(WeaponTree &tree, uint8_t pick);
