#include "commands/files/MoveToTemporaryName.h"

#include "app/Exceptions.h"
#include "commands/files/DirectoryListing.h"
#include "commands/files/FileHelpers.h"
#include "commands/files/TemporaryName.h"
#include "platform/Platform.h"

#include <algorithm>

namespace files {

paths::NormalPath moveToTemporaryName(const paths::NormalPath& source, const paths::NormalPath& directory,
                                      const std::wstring& prefix, int attempts) {
    const int budget = std::max(attempts, 1);
    for (int i = 0;; ++i) {
        paths::NormalPath candidate = temporaryName(directory, prefix, budget);
        DWORD error = platform::current().moveFile(source, candidate, MOVEFILE_COPY_ALLOWED);
        if (error == ERROR_SUCCESS) return candidate;
        bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        if (i >= budget || (!taken && !recoverAccess(source, candidate, error)))
            raiseRunTimeError(error, L"Unable to move (%s) to (%s)", source.display(), candidate.display());
    }
}

} // namespace files
