#pragma once

#include "collection/weapon_collection.h"

#include <atomic>

// Shared between a load running on a worker thread and the window that waits for it.
struct LoadProgress {
    std::atomic<bool> cancel{false};
    std::atomic<int> done{0};
    std::atomic<int> total{0};
};

// How deep a folder scan goes below the folder it starts in.
inline constexpr int kMaxFolderDepth = 8;

// Reads every weapon of a folder (and its subfolders) or of an archive, in path order. A file
// whose first line loads with at least one pair is a weapon; one split by backslashes that does
// not load is listed with its reason; anything else is only counted. Links are followed only
// where they stay inside the folder, and no file or folder is read twice.
LoadedWeapons load_weapons(const QString &source, LoadProgress &progress);
