// Re-application of a directory's inheritable access entries to what lies below it, for trees
// moved in from elsewhere (a rename keeps the entries a tree inherited at its old place).
#pragma once
#include "commands/files/ArrivingTree.h"
#include "paths/NormalPath.h"

namespace files {

// Sets the entries inherited from `directory`'s DACL on what arrived in it (security::handDown
// with the inheritance rules): on every file that arrived, and on every folder that arrived on
// which the thread holds WRITE_DAC, descending into those and setting what they pass on all below
// them. A folder that received entries keeps its own list, and what arrived in it inherits from
// that list; the entries that were there before keep theirs.
void reapplyInheritedEntries(const paths::NormalPath& directory, const ArrivingTree& arrived);

} // namespace files
