#include "commands/files/CreateDirectory.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "commands/PathPolicy.h"
#include "commands/files/FileHelpers.h"
#include "platform/Platform.h"
#include "security/DaclWrite.h"

#include <algorithm>
#include <vector>

namespace files {

void createDirectory(const paths::NormalPath& path, SECURITY_ATTRIBUTES* securityAttributes, int attempts) {
    const int budget = std::max(attempts, 1);
    for (int attempt = 1;; ++attempt) {
        DWORD error = platform::current().createDirectory(path, securityAttributes);
        if (error == ERROR_SUCCESS) return;
        if (error == ERROR_ACCESS_DENIED && attempt < budget) {
            paths::NormalPath parent = path.parent();
            if (parent.empty() || !security::grantSelfAccess(parent, GENERIC_ALL))
                raiseRunTimeError(ERROR_ACCESS_DENIED, L"Unable to create file '%s'", text::displayPath(path));
            continue;
        }
        raiseRunTimeError(error, L"Unable to create directory (%s)", text::displayPath(path));
    }
}

void createDirectories(const paths::NormalPath& path, SECURITY_ATTRIBUTES* securityAttributes, int attempts) {
    std::vector<paths::NormalPath> missing;
    for (paths::NormalPath step = path.parent(); !step.empty() && !step.isRootForm() && !exists(step);
         step = step.parent())
        missing.push_back(step);
    for (auto step = missing.rbegin(); step != missing.rend(); ++step) createDirectory(*step, securityAttributes, attempts);
    if (!exists(path)) createDirectory(path, securityAttributes, attempts);
    if (!isDirectory(path)) raiseRunTimeError(ERROR_ACCESS_DENIED, L"Unable to create %s", text::displayPath(path));
}

} // namespace files
