#include "paths/LongPath.h"
#include "app/Text.h"
#include "commands/files/DirectorySize.h"

#include "app/Exceptions.h"
#include "commands/PathPolicy.h"
#include "commands/files/DirectoryListing.h"
#include "platform/Platform.h"

namespace files {
namespace {

// The directory path and its name buffer grow and shrink as the walk descends, so one string
// serves the whole tree.
uint64_t sumBelow(std::wstring& path, bool recursive) {
    platform::Platform& p = platform::current();
    const size_t length = path.size();
    path += L"\\*.*";
    WIN32_FIND_DATAW data;
    platform::FindScope find;
    DWORD error = p.findFirstFile(path, &data, find.receive());
    path.resize(length);
    if (error == ERROR_FILE_NOT_FOUND) return 0; // a volume root without entries: no "." or ".." either
    if (error) raiseRunTimeError(error, L"Unable to read directory (%s)", text::displayPath(path));
    uint64_t sum = 0;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!recursive || isJunction(data)) continue;
            std::wstring_view name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            path += L'\\';
            path += name;
            sum += sumBelow(path, true);
            path.resize(length);
        } else {
            sum += (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        }
    } while ((error = p.findNextFile(find.get(), &data)) == ERROR_SUCCESS);
    if (error != ERROR_NO_MORE_FILES)
        raiseRunTimeError(error, L"Unable to read directory (%s)", text::displayPath(path));
    return sum;
}

} // namespace

uint64_t directorySize(const paths::NormalPath& input, bool recursive) {
    std::wstring path = paths::trimmed(input.str());
    if (!path.empty() && path.back() == L'\\') path.pop_back(); // a root: "X:\" is listed as "X:\*.*"
    return sumBelow(path, recursive);
}

uint64_t pathSize(const paths::NormalPath& path) {
    using text::displayPath;
    // A pattern would measure whatever entry it happened to match first: the checked path holds none.
    if (paths::isVolumeRoot(path)) return directorySize(path, true);
    WIN32_FIND_DATAW data;
    platform::FindScope find;
    if (DWORD error = platform::current().findFirstFile(path, &data, find.receive()))
        raiseRunTimeError(error, L"Unable to read directory (%s)", displayPath(path));
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return directorySize(path, true);
    return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

} // namespace files
