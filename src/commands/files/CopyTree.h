// Copy of a directory tree that recreates junctions instead of following them.
#pragma once
#include "paths/NormalPath.h"
#include "commands/files/DirectoryListing.h"
#include "commands/files/Junction.h"

#include <string>
#include <vector>

namespace files {

// The listings of the folders a tree copy copied, each after the folders below it: what a move
// removes from its source once the copy is complete, and nothing that arrived later.
using CopiedListings = std::vector<DirectoryListing>;

// Copies the listed directory's contents into `destination` (created when missing, merged into
// when it exists; files there are overwritten). All files of a directory are copied before its
// subdirectories are made, and all subdirectories of a level are made before the first is entered.
// With `recursive` the subdirectories are filled too; a junction is recreated with the same target
// (one that exists and passes `checkTarget`) and its contents are not copied. The copy never
// writes through a junction or symbolic link that stands in the destination: it fails there with
// "Path (%s) is a reparse point". A name that differs from one the copy made in the same folder
// only in letter case fails the copy before it is written (CreatedNames). With `copied`, the
// listings copied are added to it (a reparse point's own listing is never among them).
void copyTree(const DirectoryListing& listing, const paths::NormalPath& destination, int attempts, bool recursive,
              const LinkTargetCheck& checkTarget, CopiedListings* copied = nullptr);

} // namespace files
