#include "commands/files/CopyToTemporaryName.h"

#include "app/Exceptions.h"
#include "commands/PathPolicy.h"
#include "commands/files/FileTransfer.h"
#include "commands/files/OpenFile.h"
#include "commands/files/TemporaryName.h"
#include "platform/Platform.h"

#include <algorithm>

namespace files {

std::wstring copyToTemporaryName(const std::wstring& source, const std::wstring& directory,
                                 const std::wstring& prefix, int attempts) {
    const int budget = std::max(attempts, 1);
    for (int taken = 0;; ++taken) {
        std::wstring candidate = temporaryName(directory, prefix, budget);
        platform::FileHandle reservation;
        try {
            reservation = openFile(L"", candidate, GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, budget);
        } catch (const RunTime::AlreadyExistsException&) {
            if (taken < budget) continue;
            raiseRunTimeError(ERROR_FILE_EXISTS, L"Unable to move (%s) to (%s)",
                              pathpolicy::displayPath(source), pathpolicy::displayPath(directory));
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
