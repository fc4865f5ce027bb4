// Removal of files and directory trees by way of the volume's trash directory.
#pragma once
#include "commands/files/CopyTree.h"
#include "paths/NormalPath.h"
#include "commands/files/DirectoryListing.h"
#include "commands/files/TrashClaim.h"

#include <windows.h>

#include <string>

namespace files {

// Removes `path`: one file, or one empty directory. A missing path is no error.
// With a trash directory the item is first moved there and deleted inside; when that is refused
// with access denied it is deleted in place, with access recovery between `attempts` tries (0
// counts as 1). The last failure raises "Unable to remove path (%s)". An item that cannot be
// deleted inside the trash is moved back before the failure is raised: nothing is left behind
// in the trash, and nothing is reported removed that was not.
void removePath(const paths::NormalPath& path, const paths::NormalPath& trash, int attempts);
// Removes the listed directory with everything below it, depth first, files before directories.
// Reparse points are removed as themselves: what they lead to is never touched. While the tree is
// in the trash it is marked as live there (TrashClaim); whatever fails there (every failure class)
// brings what is left of it back.
void removeTree(DirectoryListing listing, int attempts);
// Removes what a tree copy copied (the source of a move) and nothing else: the listed entries,
// then each folder once it is empty. Folders that still hold entries (they arrived during the
// copy) are kept in their place and named in the failure raised at the end, "Unable to remove
// path (%s): entries arrived in it during the move" (ERROR_DIR_NOT_EMPTY).
void removeCopied(const CopiedListings& copied, int attempts);
// Deletes an item that an interrupted removal left in the trash, with everything below it (read
// afresh; what vanished meanwhile counts as deleted). `claim` is this purge's hold on the item,
// ended right before the item's own deletion. Nothing is ever moved out of the trash.
void purgeStray(const paths::NormalPath& path, DWORD attributes, TrashClaim& claim, int attempts);

} // namespace files
