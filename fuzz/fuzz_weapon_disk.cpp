#include "fuzz/weapon_checks.h"

// Any input is a whole file, written to disk, read back through the real reader and saved with
// the careful save; the in-memory checks run on it too, so that disk and memory must agree. Each
// run costs a write, a read and a save, so this target takes the seeds that are large (past
// 64 KiB, past the node limit) and leaves the quick mutation of small ones to fuzz_weapon_file.

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView file(data, static_cast<qsizetype>(size));
    WeaponTree tree;
    const WeaponFileResult result = check_in_memory(file, tree);
    check_on_disk(file, tree, result);
    return 0;
}
