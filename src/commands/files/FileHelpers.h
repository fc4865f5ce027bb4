// Attribute queries with access recovery, shared by the file commands: an administrator that
// meets "access denied" takes ownership, grants itself access and asks again.
#pragma once
#include "paths/NormalPath.h"
#include <string>

#include <windows.h>

namespace files {

// The attributes, or INVALID_FILE_ATTRIBUTES (-1) when the path does not exist (errors 2, 3,
// 123). On access denied the process grants itself GENERIC_ALL and asks again, `attempts`
// queries in all (0 counts as 1); every other failure raises "Unable to get file (%s) attributes".
DWORD getAttributes(const paths::NormalPath& path, int attempts);
// Like getAttributes, but a missing path raises as well.
DWORD requireAttributes(const paths::NormalPath& path, int attempts);
bool exists(const paths::NormalPath& path);
bool isDirectory(const paths::NormalPath& path);

// Writes the attributes back without hidden and system (and read-only when asked). False when
// refused with access denied.
bool clearAttributes(const paths::NormalPath& path, bool alsoReadOnly);

// After `error` on an operation from `source` to `destination`: whether it is worth trying again.
// Only access denied is: the process takes the source (ownership, GENERIC_ALL, no hidden, system
// or read-only attribute), then the destination when it exists, else list access on the
// destination's parent.
bool recoverAccess(const paths::NormalPath& source, const paths::NormalPath& destination, DWORD error);

} // namespace files
