// Copying an item to a fresh temporary name inside a directory (cp2tempnam).
#pragma once
#include "paths/NormalPath.h"

#include <string>

namespace files {

// Copies the source to a fresh name in `directory` and returns the new full path. The name is
// reserved by creating it before the copy, so that no other process can take it in between; a
// name another process took first is given up for a new one, `attempts` more times at most (0
// counts as 1), then "Unable to move (%s) to (%s)" with error 80. A copy that fails removes the
// reserved file again: the caller never learns its name.
paths::NormalPath copyToTemporaryName(const paths::NormalPath& source, const paths::NormalPath& directory,
                                      const std::wstring& prefix, int attempts);

} // namespace files
