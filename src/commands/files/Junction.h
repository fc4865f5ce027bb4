// Junctions (mount points): reading where one leads, and turning an empty directory into one.
#pragma once
#include "paths/NormalPath.h"
#include <string>

#include <windows.h>

namespace files {

// The target of the junction open on `directory` (opened as the reparse point itself), in the
// "\\?\" form. Raises "Unable to get reparse data" when the directory has none.
std::wstring readJunctionTarget(HANDLE directory);
// Makes the empty directory open on `directory` a junction to `target`; a missing target directory
// is created. A target that is the directory itself raises "Recursive reparse point (%s)".
void makeJunction(HANDLE directory, const paths::NormalPath& target, int attempts);
// A new directory at `path` made a junction to `target`; the directory is removed again when the
// junction cannot be made.
void createJunction(const paths::NormalPath& path, const paths::NormalPath& target, int attempts);

} // namespace files
