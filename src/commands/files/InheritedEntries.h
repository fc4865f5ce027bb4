// Re-application of a directory's inheritable access entries to what lies below it, for trees
// moved in from elsewhere (a rename keeps the entries a tree inherited at its old place).
#pragma once
#include "paths/NormalPath.h"
#include <string>

namespace files {

// Sets the entries inherited from `directory`'s DACL on every file below it, and on every
// subdirectory on which the thread holds WRITE_DAC, descending into those (reparse points are
// neither written nor entered).
void reapplyInheritedEntries(const paths::NormalPath& directory);

} // namespace files
