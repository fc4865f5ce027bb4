// What moving a tree's entries into a destination folder brings: the files and folders that
// arrive, and the folders of the destination they merge into. Read before the first item moves,
// so that a clash is found while the destination is still whole, and kept after it, so that
// what arrived (and only that) gets the destination's inheritable access entries.
#pragma once
#include "paths/NormalPath.h"

#include <string>
#include <utility>
#include <vector>

namespace files {

struct ArrivingTree {
    std::vector<std::wstring> files;       // names of files that arrive here (new or replacing one)
    std::vector<std::wstring> directories; // names of folders that arrive whole (new here)
    // Folders of the destination that receive entries: their own entries stay as they are.
    std::vector<std::pair<std::wstring, ArrivingTree>> merged;
};

// What the entries of `source` bring into `destination` (a folder that need not exist). A file
// of the source where the destination has a folder of that name (as the file system compares
// names), or the reverse, raises ERROR_ALREADY_EXISTS naming both paths. A merged folder that is
// a reparse point is taken as merged but not looked into.
ArrivingTree arrivingTree(const paths::NormalPath& source, const paths::NormalPath& destination);

} // namespace files
