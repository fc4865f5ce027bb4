#include "commands/files/OpenDirectory.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "commands/PathPolicy.h"
#include "commands/files/CreateDirectory.h"
#include "commands/files/DirectoryListing.h"
#include "commands/files/FileHelpers.h"
#include "commands/files/RemovePath.h"
#include "commands/files/TrashDirectory.h"
#include "platform/Platform.h"

#include <algorithm>

namespace files {

platform::FileHandle openDirectory(const paths::NormalPath& parent, const std::wstring& name, DWORD access, DWORD share,
                                   Disposition disposition, bool overlapped, bool openReparsePoint, int attempts) {
    const paths::NormalPath path = name.empty() ? parent : parent.join(name);
    DWORD attributes = getAttributes(path, attempts);
    const bool missing = attributes == INVALID_FILE_ATTRIBUTES;
    if (!missing && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        raiseRunTimeError(0, L"Path (%s) is a file", text::displayPath(path));

    bool create = false;
    switch (disposition) {
    case Disposition::CreateNew:
        create = true;
        break;
    case Disposition::CreateAlways:
        if (!missing) removePath(path, trashDirectory(path), 15);
        create = true;
        break;
    case Disposition::OpenAlways:
        create = missing;
        break;
    case Disposition::OpenExisting:
        break;
    }
    if (create) {
        createDirectory(path, nullptr, attempts);
        access |= DELETE;
    }

    DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (overlapped ? FILE_FLAG_OVERLAPPED : 0) |
                  (openReparsePoint ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    const int budget = std::max(attempts, 1);
    platform::FileHandle handle;
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < budget; ++attempt) {
        error = platform::current().createFile(path, access, share, OPEN_EXISTING, flags, handle.receive());
        if (error == ERROR_SUCCESS) return handle;
    }
    raiseRunTimeError(error, L"Unable to open directory (%s)", text::displayPath(path));
}

platform::FileHandle openTreeDirectory(const paths::NormalPath& path, Disposition disposition, int attempts) {
    return openDirectory(path, L"", kTreeAccess, kTreeShare, disposition, false, true, attempts);
}

} // namespace files
