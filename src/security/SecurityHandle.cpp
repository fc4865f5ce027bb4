#include "security/SecurityHandle.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "platform/Platform.h"

namespace security {

DWORD openAsItself(const std::wstring& path, DWORD access, platform::FileHandle* handle, bool holdInPlace) {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | (holdInPlace ? 0 : FILE_SHARE_DELETE);
    return platform::current().createFile(path, access, share, OPEN_EXISTING,
                                          FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                          handle->receive());
}

bool isReparsePoint(HANDLE handle, const std::wstring& path) {
    DWORD attributes = 0;
    if (DWORD error = platform::current().handleAttributes(handle, &attributes))
        raiseRunTimeError(error, L"Unable to get file (%s) attributes", text::displayPath(path));
    return attributes & FILE_ATTRIBUTE_REPARSE_POINT;
}

} // namespace security
