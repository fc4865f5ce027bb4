// The long and the 8.3 form of an existing path.
#pragma once
#include "paths/NormalPath.h"
#include <string>

namespace files {

// GetLongPathNameW of the normalised path, without trailing separators (a root keeps its "\").
// Access denied is met by listing the path's ancestors from the root down and asking again, a
// bounded number of times; then, and on other errors, "Unable to get a long path for (%s)".
std::wstring longPath(const paths::NormalPath& path);
// The same with GetShortPathNameW and "Unable to get a short path for (%s)".
std::wstring shortPath(const paths::NormalPath& path);
// The junction's target when the path itself is a junction, else the path: where realpath's
// long and short forms are taken.
paths::NormalPath resolvedJunction(const paths::NormalPath& path);

} // namespace files
