#include "app/Text.h"
#include "platform/QueryString.h"
#include "paths/LongPath.h"
#include "commands/files/PathNames.h"

#include "app/Exceptions.h"
#include "commands/PathPolicy.h"
#include "commands/files/DirectoryListing.h"
#include "commands/files/FileHelpers.h"
#include "commands/files/Junction.h"
#include "commands/files/OpenDirectory.h"
#include "platform/Platform.h"

namespace files {
namespace {

using text::displayPath;

constexpr int kAccessRounds = 3;

struct NameQuery {
    DWORD (platform::Platform::*call)(const std::wstring&, wchar_t*, DWORD, DWORD*);
    const wchar_t* sizeMessage;
    const wchar_t* fillMessage;
};

const NameQuery kLong{&platform::Platform::getLongPathName, L"Unable to get a long path for (%s)",
                      L"Unable to get a long path (%s)"};
const NameQuery kShort{&platform::Platform::getShortPathName, L"Unable to get a short path for (%s)",
                       L"Unable to get a short path (%s)"};

std::wstring queryName(const paths::NormalPath& input, const NameQuery& query) {
    std::wstring path = input;
    if (paths::isVolumeRoot(input)) return paths::withoutTrailingSeparators(path) + L'\\';
    if (path.back() != L'\\' && isDirectory(input)) path += L'\\';
    platform::Platform& p = platform::current();
    auto call = [&](wchar_t* buffer, DWORD size, DWORD* length) {
        return (p.*query.call)(path, buffer, size, length);
    };
    for (int round = 0;; ++round) {
        std::wstring result;
        bool sizeQuery = true;
        DWORD error = platform::queryString(call, &result, &sizeQuery);
        if (error == ERROR_SUCCESS) return paths::withoutTrailingSeparators(result);
        if (!sizeQuery) raiseRunTimeError(error, query.fillMessage, displayPath(path));
        if (error != ERROR_ACCESS_DENIED || round == kAccessRounds)
            raiseRunTimeError(error, query.sizeMessage, displayPath(path));
        paths::listPrefixes(path);
    }
}

} // namespace

std::wstring longPath(const paths::NormalPath& path) {
    return queryName(path, kLong);
}
std::wstring shortPath(const paths::NormalPath& path) {
    return queryName(path, kShort);
}

paths::NormalPath resolvedJunction(const paths::NormalPath& path) {
    WIN32_FIND_DATAW data;
    platform::FindScope find;
    if (paths::isVolumeRoot(path) || platform::current().findFirstFile(path, &data, find.receive()) ||
        !files::isJunction(data))
        return path;
    platform::FileHandle directory =
        files::openDirectory(path, L"", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             files::Disposition::OpenExisting, false, true, 15);
    return paths::NormalPath(files::readJunctionTarget(directory.get(), path));
}


} // namespace files
