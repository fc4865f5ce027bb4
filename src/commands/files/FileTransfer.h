// Copy and move of one item with access recovery between attempts.
#pragma once
#include "paths/NormalPath.h"
#include <string>

#include <windows.h>

namespace files {

// CopyFileW, an existing destination overwritten (with `replace`; otherwise one that exists fails
// the copy with ERROR_FILE_EXISTS). On access denied the process recovers access (recoverAccess)
// and tries again, `attempts` recoveries at most (0 counts as 1); the last failure raises
// "Unable to copy (%s) to (%s)".
void copyFile(const paths::NormalPath& source, const paths::NormalPath& destination, int attempts,
              bool replace = true);
// The same around MoveFileExW with `flags`; raises "Unable to move (%s) to (%s)".
void moveFile(const paths::NormalPath& source, const paths::NormalPath& destination, DWORD flags, int attempts);

} // namespace files
