// Copy of a directory tree that recreates junctions instead of following them.
#pragma once
#include "paths/NormalPath.h"
#include "commands/files/DirectoryListing.h"
#include "commands/files/Junction.h"

#include <string>

namespace files {

// Copies the listed directory's contents into `destination` (created when missing, merged into
// when it exists; files there are overwritten). All files of a directory are copied before its
// subdirectories are made, and all subdirectories of a level are made before the first is entered.
// With `recursive` the subdirectories are filled too; a junction is recreated with the same target
// (one that exists and passes `checkTarget`) and its contents are not copied. The copy never
// writes through a junction or symbolic link that stands in the destination: it fails there with
// "Path (%s) is a reparse point".
void copyTree(const DirectoryListing& listing, const paths::NormalPath& destination, int attempts, bool recursive,
              const LinkTargetCheck& checkTarget);

} // namespace files
