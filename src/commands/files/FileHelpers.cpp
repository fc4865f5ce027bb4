#include "commands/files/FileHelpers.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "commands/PathPolicy.h"
#include "identity/Administrators.h"
#include "platform/Platform.h"
#include "security/DaclWrite.h"

#include <algorithm>

namespace files {
namespace {

using text::displayPath;

constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                      FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool isMissing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME;
}

DWORD queryAttributes(const paths::NormalPath& path, int attempts, bool missingRaises) {
    const int budget = std::max(attempts, 1);
    for (int attempt = 1;; ++attempt) {
        DWORD attributes = 0;
        DWORD error = platform::current().getFileAttributes(path, &attributes);
        if (error == ERROR_SUCCESS) return attributes;
        if (!missingRaises && isMissing(error)) return INVALID_FILE_ATTRIBUTES;
        // A grant that leaves no attempt to use it still ends in the refusal, never in "missing".
        if (error == ERROR_ACCESS_DENIED && security::grantSelfAccess(path, GENERIC_ALL) && attempt < budget) continue;
        raiseRunTimeError(error, L"Unable to get file (%s) attributes", displayPath(path));
    }
}

} // namespace

DWORD getAttributes(const paths::NormalPath& path, int attempts) { return queryAttributes(path, attempts, false); }
DWORD requireAttributes(const paths::NormalPath& path, int attempts) { return queryAttributes(path, attempts, true); }

bool exists(const paths::NormalPath& path) { return getAttributes(path, 15) != INVALID_FILE_ATTRIBUTES; }

bool isDirectory(const paths::NormalPath& path) {
    DWORD attributes = getAttributes(path, 15);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool clearAttributes(const paths::NormalPath& path, bool alsoReadOnly) {
    platform::Platform& p = platform::current();
    try {
        DWORD attributes = 0;
        if (DWORD error = p.getFileAttributes(path, &attributes))
            raiseRunTimeError(error, L"Unable to get file (%s) attributes", displayPath(path));
        DWORD drop = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | (alsoReadOnly ? FILE_ATTRIBUTE_READONLY : 0);
        if (!(attributes & drop)) return true;
        DWORD kept = attributes & kSettableAttributes & ~drop;
        if (DWORD error = p.setFileAttributes(path, kept ? kept : FILE_ATTRIBUTE_NORMAL))
            raiseRunTimeError(error, L"Unable to set file (%s) attributes", displayPath(path));
        return true;
    } catch (const RunTime::AccessDeniedException&) {
        return false;
    }
}


bool recoverAccess(const paths::NormalPath& source, const paths::NormalPath& destination, DWORD error) {
    if (error != ERROR_ACCESS_DENIED) return false;
    if (!security::grantSelfAccess(source, GENERIC_ALL) || !clearAttributes(source, true)) return false;
    if (exists(destination)) return security::grantSelfAccess(destination, GENERIC_ALL) && clearAttributes(destination, true);
    paths::NormalPath parent = destination.parent();
    return !parent.empty() && security::grantSelfAccess(parent, FILE_LIST_DIRECTORY);
}

} // namespace files
