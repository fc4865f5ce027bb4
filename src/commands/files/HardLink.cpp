#include "commands/files/HardLink.h"

#include "app/Exceptions.h"
#include "commands/PathPolicy.h"
#include "commands/files/FileHelpers.h"
#include "commands/files/Junction.h"
#include "platform/Platform.h"

#include <algorithm>

namespace files {

void createHardLink(const std::wstring& source, const std::wstring& destination, int attempts) {
    if (requireAttributes(source, 15) & FILE_ATTRIBUTE_DIRECTORY) {
        createJunction(destination, source, attempts);
        return;
    }
    const int budget = std::max(attempts, 1);
    for (int attempt = 1;; ++attempt) {
        DWORD error = platform::current().createHardLink(destination, source);
        if (error == ERROR_SUCCESS) return;
        if (error == ERROR_ACCESS_DENIED && attempt < budget) {
            std::wstring granted = exists(destination) ? destination : pathpolicy::parentPath(destination);
            if (!granted.empty() && grantSelfAccess(granted, GENERIC_ALL)) continue;
        }
        raiseRunTimeError(error, L"Unable to create hard link from (%s) to (%s)", pathpolicy::displayPath(source),
                          pathpolicy::displayPath(destination));
    }
}

} // namespace files
