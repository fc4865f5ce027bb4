#include "commands/files/HardLink.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "commands/PathPolicy.h"
#include "commands/files/FileHelpers.h"
#include "commands/files/Junction.h"
#include "platform/Platform.h"
#include "security/DaclWrite.h"

#include <algorithm>

namespace files {

void createHardLink(const paths::NormalPath& source, const paths::NormalPath& destination, int attempts) {
    if (requireAttributes(source, 15) & FILE_ATTRIBUTE_DIRECTORY) {
        createJunction(destination, source, attempts);
        return;
    }
    const int budget = std::max(attempts, 1);
    for (int attempt = 1;; ++attempt) {
        DWORD error = platform::current().createHardLink(destination, source);
        if (error == ERROR_SUCCESS) return;
        if (error == ERROR_ACCESS_DENIED && attempt < budget) {
            paths::NormalPath granted = exists(destination) ? destination : destination.parent();
            if (!granted.empty() && security::grantSelfAccess(granted, GENERIC_ALL)) continue;
        }
        raiseRunTimeError(error, L"Unable to create hard link from (%s) to (%s)", text::displayPath(source),
                          text::displayPath(destination));
    }
}

} // namespace files
