// Moving an item to a fresh name inside a directory (a trash directory, or mv2tempnam's target).
#pragma once
#include "paths/NormalPath.h"

#include <string>

namespace files {

// Moves `source` to a fresh temporary name in `directory` (MOVEFILE_COPY_ALLOWED: the
// directory may be on another volume) and returns the new full path. A taken name is tried again
// with another; access denied is recovered. `attempts` + 1 moves at most (0 counts as 1); the
// last failure raises "Unable to move (%s) to (%s)".
paths::NormalPath moveToTemporaryName(const paths::NormalPath& source, const paths::NormalPath& directory,
                                      const std::wstring& prefix, int attempts);

} // namespace files
