// Copy of a directory tree that recreates junctions instead of following them.
#pragma once
#include "paths/NormalPath.h"
#include "commands/files/DirectoryListing.h"

#include <string>

namespace files {

// Copies the listed directory's contents into `destination` (created when missing, merged into
// when it exists; files there are overwritten). All files of a directory are copied before its
// subdirectories are made, and all subdirectories of a level are made before the first is entered.
// With `recursive` the subdirectories are filled too; a junction is recreated with the same target
// and its contents are not copied.
void copyTree(const DirectoryListing& listing, const paths::NormalPath& destination, int attempts, bool recursive);

} // namespace files
