// CreateFileW with the access recovery of the file helpers.
#pragma once
#include "paths/NormalPath.h"
#include "platform/Handle.h"

#include <string>

#include <windows.h>

namespace files {

// Opens `path`. On access denied with attempts left the
// process grants itself `access` on the path, or GENERIC_ALL on the parent directory when the
// path is missing and the disposition creates it, and tries again; `attempts` opens in all (0
// counts as 1). Every other failure, and the last one, raises "Unable to create file '%s'".
// A new file gets the default security of its directory.
platform::FileHandle openFile(const paths::NormalPath& path, DWORD access, DWORD share,
                              DWORD disposition, DWORD flagsAndAttributes, int attempts);

} // namespace files
