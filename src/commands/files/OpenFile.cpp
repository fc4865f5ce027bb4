#include "commands/files/OpenFile.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "commands/PathPolicy.h"
#include "commands/files/FileHelpers.h"
#include "platform/Platform.h"
#include "security/DaclWrite.h"

#include <algorithm>

namespace files {
namespace {

bool creates(DWORD disposition) {
    return disposition == CREATE_NEW || disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
}

// The grant that may let the next open pass; false when there is none to make or it was refused.
bool recover(const paths::NormalPath& path, DWORD access, DWORD disposition) {
    if (exists(path)) return security::grantSelfAccess(path, access);
    if (!creates(disposition)) return false;
    paths::NormalPath parent = path.parent();
    return !parent.empty() && security::grantSelfAccess(parent, GENERIC_ALL);
}

} // namespace

platform::FileHandle openFile(const paths::NormalPath& path, DWORD access, DWORD share,
                              DWORD disposition, DWORD flagsAndAttributes, int attempts) {
    const int budget = std::max(attempts, 1);
    platform::FileHandle file;
    for (int attempt = 1;; ++attempt) {
        DWORD error = platform::current().createFile(path, access, share, disposition, flagsAndAttributes,
                                                     file.receive());
        if (error == ERROR_SUCCESS) return file;
        if (error == ERROR_ACCESS_DENIED && attempt < budget && recover(path, access, disposition)) continue;
        raiseRunTimeError(error, L"Unable to create file '%s'", text::displayPath(path));
    }
}

} // namespace files
