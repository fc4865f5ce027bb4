// A file or folder opened as itself for its security.
#pragma once
#include "platform/Handle.h"

#include <string>

#include <windows.h>

namespace security {

// Opens the file or folder at `path` with `access` as itself (FILE_FLAG_OPEN_REPARSE_POINT |
// FILE_FLAG_BACKUP_SEMANTICS): a junction or symbolic link standing there is the object opened,
// never the place it leads to. With `holdInPlace` the handle is not shared for deletion, so that
// while it is open the object can be neither renamed away nor replaced by a link. The Win32 error
// of the open (ERROR_SUCCESS when `handle` holds it).
DWORD openAsItself(const std::wstring& path, DWORD access, platform::FileHandle* handle, bool holdInPlace = false);
// Whether the object open on `handle` (at `path`, for the message) is a junction or symbolic link:
// "Unable to get file (%s) attributes" when the system cannot tell.
bool isReparsePoint(HANDLE handle, const std::wstring& path);

} // namespace security
