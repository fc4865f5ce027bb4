#include "commands/files/DirectoryListing.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "commands/PathPolicy.h"
#include "commands/files/FileHelpers.h"
#include "platform/Platform.h"
#include "security/DaclWrite.h"

namespace files {
namespace {

constexpr DWORD kNameSurrogate = 0x20000000;
// Grants that are answered with access denied again end the enumeration after this many rounds.
constexpr int kAccessRounds = 15;

void add(DirectoryListing& listing, const WIN32_FIND_DATAW& data) {
    DirectoryEntry e = entryOf(data);
    if (e.attributes & FILE_ATTRIBUTE_DIRECTORY)
        listing.directories.push_back(std::move(e));
    else
        listing.files.push_back(std::move(e));
}

bool pathExists(const paths::NormalPath& path) {
    DWORD attributes = 0;
    return platform::current().getFileAttributes(path, &attributes) == ERROR_SUCCESS;
}

} // namespace

DirectoryEntry entryOf(const WIN32_FIND_DATAW& data) {
    DirectoryEntry e;
    e.name = data.cFileName;
    e.attributes = data.dwFileAttributes;
    bool reparse = data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
    e.isJunction = isJunction(data);
    e.isReparsePoint = e.isJunction || reparse;
    e.creationTime = unixSeconds(data.ftCreationTime);
    e.lastWriteTime = unixSeconds(data.ftLastWriteTime);
    e.lastAccessTime = unixSeconds(data.ftLastAccessTime);
    e.size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return e;
}

bool isDotEntry(const DirectoryEntry& entry) { return entry.name == L"." || entry.name == L".."; }

bool isJunction(const WIN32_FIND_DATAW& data) {
    // dwReserved0 carries the reparse tag when the entry is a reparse point.
    return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && (data.dwReserved0 & kNameSurrogate);
}

int64_t unixSeconds(const FILETIME& time) {
    constexpr int64_t kEpochDifference = 116444736000000000LL; // 1601 to 1970 in 100 ns units
    constexpr int64_t kPerSecond = 10000000LL;
    int64_t ticks = int64_t((uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime) - kEpochDifference;
    // Floor division: a time before 1970 still counts whole seconds back from the epoch.
    return ticks >= 0 ? ticks / kPerSecond : -((-ticks + kPerSecond - 1) / kPerSecond);
}

DirectoryListing listDirectory(const paths::NormalPath& input) {
    DirectoryListing listing;
    listing.path = input;
    const paths::NormalPath pattern = listing.path.join(L"*.*");
    platform::Platform& p = platform::current();
    WIN32_FIND_DATAW data{};
    platform::FindScope find;
    for (int round = 1;; ++round) {
        DWORD error = p.findFirstFile(pattern, &data, find.receive());
        if (error == ERROR_SUCCESS) break;
        // Missing, not a directory, or an empty volume root: nothing to list.
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_DIRECTORY ||
            error == ERROR_INVALID_NAME)
            return listing;
        if (error == ERROR_ACCESS_DENIED && round < kAccessRounds) {
            paths::NormalPath target = pathExists(listing.path) ? listing.path : listing.path.parent();
            if (!target.empty() && security::grantSelfAccess(target, GENERIC_ALL)) continue;
        }
        raiseRunTimeError(error, L"Unable to read directory (%s)", text::displayPath(listing.path));
    }
    add(listing, data);
    for (;;) {
        DWORD error = p.findNextFile(find.get(), &data);
        if (error == ERROR_NO_MORE_FILES) break;
        if (error) raiseRunTimeError(error, L"Unable to read directory (%s)", text::displayPath(listing.path));
        add(listing, data);
    }
    return listing;
}

DirectoryListing listDirectory(const paths::NormalPath& parent, const DirectoryEntry& entry) {
    return listDirectory(parent.join(entry.name));
}

} // namespace files
