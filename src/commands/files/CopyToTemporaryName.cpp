#include "commands/files/CopyToTemporaryName.h"

#include "app/Exceptions.h"
#include "commands/files/FileTransfer.h"
#include "commands/files/OpenFile.h"
#include "commands/files/TemporaryName.h"
#include "platform/Platform.h"

#include <algorithm>

namespace files {

paths::NormalPath copyToTemporaryName(const paths::NormalPath& source, const paths::NormalPath& directory,
                                      const std::wstring& prefix, int attempts) {
    const int budget = std::max(attempts, 1);
    for (int taken = 0;; ++taken) {
        paths::NormalPath candidate = temporaryName(directory, prefix, budget);
        platform::FileHandle reservation;
        try {
            reservation = openFile(candidate, GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, budget);
        } catch (const RunTime::AlreadyExistsException&) {
            if (taken < budget) continue;
            raiseRunTimeError(ERROR_FILE_EXISTS, L"Unable to move (%s) to (%s)",
                              source.display(), directory.display());
        }
        try {
            copyFile(source, candidate, budget);
        } catch (...) {
            reservation.reset();
            platform::current().deleteFile(candidate);
            throw;
        }
        return candidate;
    }
}

} // namespace files
