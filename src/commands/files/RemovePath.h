// Removal of files and directory trees by way of the volume's trash directory.
#pragma once
#include "paths/NormalPath.h"
#include "commands/files/DirectoryListing.h"

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
// Reparse points are removed as themselves: what they lead to is never touched.
void removeTree(DirectoryListing listing, int attempts);

} // namespace files
