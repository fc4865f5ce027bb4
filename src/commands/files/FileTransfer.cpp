#include "commands/files/FileTransfer.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "commands/PathPolicy.h"
#include "commands/files/FileHelpers.h"
#include "platform/Platform.h"

#include <algorithm>

namespace files {
namespace {

template <class Operation>
void withRecovery(const paths::NormalPath& source, const paths::NormalPath& destination, int attempts, const wchar_t* message,
                  Operation operation) {
    const int budget = std::max(attempts, 1);
    for (int recoveries = 0;; ++recoveries) {
        DWORD error = operation();
        if (error == ERROR_SUCCESS) return;
        if (recoveries >= budget || !recoverAccess(source, destination, error))
            raiseRunTimeError(error, message, text::displayPath(source), text::displayPath(destination));
    }
}

} // namespace

void copyFile(const paths::NormalPath& source, const paths::NormalPath& destination, int attempts, bool replace) {
    withRecovery(source, destination, attempts, L"Unable to copy (%s) to (%s)",
                 [&] { return platform::current().copyFile(source, destination, replace ? FALSE : TRUE); });
}

void moveFile(const paths::NormalPath& source, const paths::NormalPath& destination, DWORD flags, int attempts) {
    withRecovery(source, destination, attempts, L"Unable to move (%s) to (%s)",
                 [&] { return platform::current().moveFile(source, destination, flags); });
}

} // namespace files
