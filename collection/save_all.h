#pragma once

#include "collection/weapon_collection.h"

#include <functional>

// What to do with a file that another program changed since the table read it.
enum class ChangedOnDisk { Overwrite, OverwriteAll, Skip, Cancel };
using AskChangedOnDisk = std::function<ChangedOnDisk(const QString &location)>;

struct SaveFailure {
    QString location;
    QString reason;
};

struct SaveReport {
    int written = 0;
    int skipped = 0;
    bool cancelled = false;
    QList<SaveFailure> failures;

    // One line per failure: where, and why.
    QString failureText() const;
};

// Writes every changed weapon and nothing else. A plain file goes through the careful save and
// keeps the bytes after its first line; the changed entries of an archive go back in one rewrite
// of the archive. A file changed on disk since it was read is written only if ask says so. A
// failure does not stop the others; a weapon not written stays changed.
SaveReport save_all(WeaponCollection &weapons, const AskChangedOnDisk &ask);
