#include "fuzz/weapon_checks.h"

// Any input is a whole file, held to every invariant of the reader and writer without touching
// the disk: this target is the fast one, run with a short -max_len for its many inputs a second.
// fuzz_weapon_disk takes the same invariants through the disk and the large files.

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView file(data, static_cast<qsizetype>(size));
    WeaponTree tree;
    if (check_in_memory(file, tree).ok())
        check_refused_edit(tree, data[size - 1]);
    return 0;
}
