#include "commands/files/MoveToTemporaryName.h"

#include "app/Exceptions.h"
#include "commands/PathPolicy.h"
#include "commands/files/DirectoryListing.h"
#include "commands/files/FileHelpers.h"
#include "commands/files/TemporaryName.h"
#include "platform/Platform.h"

#include <algorithm>

namespace files {

std::wstring moveToTemporaryName(const std::wstring& base, const std::wstring& name, const std::wstring& directory,
                                 const std::wstring& prefix, int attempts) {
    const std::wstring source = pathpolicy::normalizePath(L"", joinPath(base, name));
    const int budget = std::max(attempts, 1);
    for (int i = 0;; ++i) {
        std::wstring candidate = temporaryName(directory, prefix, budget);
        DWORD error = platform::current().moveFile(source, candidate, MOVEFILE_COPY_ALLOWED);
        if (error == ERROR_SUCCESS) return candidate;
        bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        if (i >= budget || (!taken && !recoverAccess(source, candidate, error)))
            raiseRunTimeError(error, L"Unable to move (%s) to (%s)", pathpolicy::displayPath(source),
                              pathpolicy::displayPath(candidate));
    }
}

} // namespace files
