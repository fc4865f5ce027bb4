// Directory creation with access recovery on the parent.
#pragma once
#include "paths/NormalPath.h"
#include <string>

#include <windows.h>

namespace files {

// CreateDirectoryW. On access denied the process grants itself GENERIC_ALL on the parent and tries
// again, `attempts` creations in all (0 counts as 1); a parent that cannot be granted raises
// "Unable to create file '%s'" (5), any other failure "Unable to create directory (%s)".
void createDirectory(const paths::NormalPath& path, SECURITY_ATTRIBUTES* securityAttributes, int attempts);
// Creates every missing directory on the way to `path`, then `path`; raises "Unable to create %s"
// (5) when the path is not a directory afterwards.
void createDirectories(const paths::NormalPath& path, SECURITY_ATTRIBUTES* securityAttributes, int attempts);

} // namespace files
