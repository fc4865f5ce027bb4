#include "commands/files/TrashHealing.h"

#include "app/Exceptions.h"
#include "app/Log.h"
#include "commands/PathPolicy.h"
#include "commands/files/DirectoryListing.h"
#include "commands/files/FileHelpers.h"
#include "commands/files/RemovePath.h"
#include "commands/files/TrashClaim.h"
#include "commands/files/TrashDirectory.h"
#include "security/DaclWrite.h"

#include <algorithm>
#include <exception>

namespace files {
namespace {

constexpr int kAttempts = 15;

// Purges one item unless a live removal holds it; answers why it could not, or nothing.
std::wstring purgeUnlessLive(const paths::NormalPath& path, DWORD attributes) {
    TrashClaim claim;
    DWORD error = TrashClaim::take(path, claim);
    // The item's own access list may refuse the administrator; a live mark is never refused so.
    if (error == ERROR_ACCESS_DENIED && security::grantSelfAccess(path, GENERIC_ALL)) error = TrashClaim::take(path, claim);
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
    try {
        if (error) raiseRunTimeError(error, L"Unable to open (%s)", path.display());
        purgeStray(path, attributes, claim, kAttempts);
        return {};
    } catch (...) {
        return messageOf(std::current_exception());
    }
}

void heal(const paths::NormalPath& trash) {
    std::vector<std::wstring> stranded;
    try {
        DirectoryListing listing = listDirectory(trash);
        for (const auto* entries : {&listing.files, &listing.directories})
            for (const DirectoryEntry& entry : *entries) {
                if (isDotEntry(entry)) continue;
                std::wstring why = purgeUnlessLive(trash.join(entry.name), entry.attributes);
                if (!why.empty()) stranded.push_back(entry.name + L" (" + why + L")");
            }
    } catch (...) {
        stranded.push_back(messageOf(std::current_exception()));
    }
    if (stranded.empty()) return;
    std::wstring names;
    for (const std::wstring& item : stranded) names += (names.empty() ? L"" : L", ") + item;
    LogManager::instance().reportEvent(
        1, format(L"Unable to empty the trash (%s); what stays there: %s", trash.display(), names));
}

} // namespace

void healTrash(const std::vector<paths::NormalPath>& paths) {
    std::vector<paths::NormalPath> roots;
    for (const paths::NormalPath& path : paths) {
        paths::NormalPath root = path.root();
        if (std::find(roots.begin(), roots.end(), root) != roots.end()) continue;
        roots.push_back(root);
        paths::NormalPath trash = trashDirectory(root);
        if (!trash.empty()) heal(trash);
    }
}

} // namespace files
