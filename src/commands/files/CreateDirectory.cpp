#include "commands/files/CreateDirectory.h"

#include "app/Exceptions.h"
#include "commands/PathPolicy.h"
#include "commands/files/FileHelpers.h"
#include "platform/Platform.h"

#include <algorithm>

namespace files {

void createDirectory(const std::wstring& input, SECURITY_ATTRIBUTES* securityAttributes, int attempts) {
    std::wstring path = pathpolicy::normalizePath(L"", input);
    const int budget = std::max(attempts, 1);
    for (int attempt = 1;; ++attempt) {
        DWORD error = platform::current().createDirectory(path, securityAttributes);
        if (error == ERROR_SUCCESS) return;
        if (error == ERROR_ACCESS_DENIED && attempt < budget) {
            std::wstring parent = pathpolicy::parentPath(path);
            if (parent.empty() || !grantSelfAccess(parent, GENERIC_ALL))
                raiseRunTimeError(ERROR_ACCESS_DENIED, L"Unable to create file '%s'", pathpolicy::displayPath(path));
            continue;
        }
        raiseRunTimeError(error, L"Unable to create directory (%s)", pathpolicy::displayPath(path));
    }
}

void createDirectories(const std::wstring& input, SECURITY_ATTRIBUTES* securityAttributes, int attempts) {
    const std::wstring path = pathpolicy::normalizePath(L"", input);
    const std::wstring prefix = L"\\\\?\\";
    size_t from = path.compare(0, prefix.size(), prefix) == 0 ? prefix.size() : 0;
    for (size_t cut = path.find(L'\\', from); cut != std::wstring::npos; cut = path.find(L'\\', cut + 1)) {
        std::wstring step = path.substr(0, cut);
        // The drive itself ("\\?\C:") is never created.
        if (step.size() <= from + 2 || exists(step)) continue;
        createDirectory(step, securityAttributes, attempts);
    }
    if (!exists(path)) createDirectory(path, securityAttributes, attempts);
    if (!isDirectory(path)) raiseRunTimeError(ERROR_ACCESS_DENIED, L"Unable to create %s", pathpolicy::displayPath(path));
}

} // namespace files
