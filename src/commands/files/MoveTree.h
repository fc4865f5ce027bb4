// Move of a directory tree: a rename when the file system allows it, else copy, then remove.
#pragma once
#include "paths/NormalPath.h"
#include "commands/files/DirectoryListing.h"
#include "commands/files/Junction.h"

#include <string>

namespace files {

// Moves the listed directory to `destination`. When the rename is refused (another volume, an
// existing destination), the tree is copied (junctions recreated) and the source removed only
// after everything has arrived, and then only what was copied (removeCopied): what arrived in the
// source meanwhile stays there and fails the move. A failure before that leaves the source whole
// (a name that differs only in letter case from one already copied is such a failure); a destination
// this call created is removed again, one that existed keeps what arrived. A failed removal of
// the partial destination raises "At %s\n rollback failed: Unable to remove file: (%s)". Junctions
// are made again only to places `checkTarget` lets through; a junction or symbolic link standing in
// the destination is never written through (copyTree).
void moveTree(const DirectoryListing& listing, const paths::NormalPath& destination, const LinkTargetCheck& checkTarget);

} // namespace files
