#include "commands/files/TrashHealing.h"

#include "app/Exceptions.h"
#include "app/Log.h"
#include "commands/PathPolicy.h"
#include "commands/files/DirectoryListing.h"
#include "commands/files/FileHelpers.h"
#include "commands/files/RemovePath.h"
#include "commands/files/TrashClaim.h"
#include "commands/files/TrashDirectory.h"

#include <algorithm>
#include <exception>

namespace files {
namespace {

constexpr int kAttempts = 15;

// Purges one item unless a live removal holds it; answers why it could not, or nothing.
std::wstring purgeUnlessLive(const std::wstring& path, DWORD attributes) {
    TrashClaim claim;
    DWORD error = TrashClaim::take(path, claim);
    // The item's own access list may refuse the administrator; a live mark is never refused so.
    if (error == ERROR_ACCESS_DENIED && grantSelfAccess(path, GENERIC_ALL)) error = TrashClaim::take(path, claim);
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
    try {
        if (error) raiseRunTimeError(error, L"Unable to open (%s)", pathpolicy::displayPath(path));
        purgeStray(path, attributes, claim, kAttempts);
        return {};
    } catch (...) {
        return messageOf(std::current_exception());
    }
}

void heal(const std::wstring& trash) {
    std::vector<std::wstring> stranded;
    try {
        DirectoryListing listing = listDirectory(trash);
        for (const auto* entries : {&listing.files, &listing.directories})
            for (const DirectoryEntry& entry : *entries) {
                if (isDotEntry(entry)) continue;
                std::wstring why = purgeUnlessLive(joinPath(trash, entry.name), entry.attributes);
                if (!why.empty()) stranded.push_back(entry.name + L" (" + why + L")");
            }
    } catch (...) {
        stranded.push_back(messageOf(std::current_exception()));
    }
    if (stranded.empty()) return;
    std::wstring names;
    for (const std::wstring& item : stranded) names += (names.empty() ? L"" : L", ") + item;
    LogManager::instance().reportEvent(
        1, format(L"Unable to empty the trash (%s); what stays there: %s", pathpolicy::displayPath(trash), names));
}

} // namespace

void healTrash(const std::vector<std::wstring*>& paths) {
    std::vector<std::wstring> roots;
    for (const std::wstring* path : paths) {
        std::wstring root;
        try {
            root = volumeRoot(*path);
        } catch (...) {
            continue; // a path the command itself refuses; no trash of it is used
        }
        if (std::find(roots.begin(), roots.end(), root) != roots.end()) continue;
        roots.push_back(root);
        std::wstring trash = trashDirectory(root);
        if (!trash.empty()) heal(trash);
    }
}

} // namespace files
