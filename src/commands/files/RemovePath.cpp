#include "paths/LongPath.h"
#include "app/Text.h"
#include "commands/files/RemovePath.h"

#include "app/Exceptions.h"
#include "commands/PathPolicy.h"
#include "commands/files/FileHelpers.h"
#include "commands/files/MoveToTemporaryName.h"
#include "commands/files/TrashDirectory.h"
#include "platform/Platform.h"
#include "security/DaclWrite.h"

#include <algorithm>

namespace files {
namespace {

using text::displayPath;

DWORD deleteItem(const paths::NormalPath& path, bool directory) {
    platform::Platform& p = platform::current();
    return directory ? p.removeDirectory(path) : p.deleteFile(path);
}

bool isVanished(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

[[noreturn]] void raiseRemoveError(DWORD error, const paths::NormalPath& path) {
    raiseRunTimeError(error, L"Unable to remove path (%s)", displayPath(path));
}

// After access denied on a deletion: whether anything changed that makes another try worth it.
// The read-only attribute goes first: it refuses deletion whatever the access list grants, and a
// grant that fails (ownership refused) must not keep it. A grant may then allow the clearing.
bool recoverDeletion(const paths::NormalPath& path) {
    bool cleared = clearAttributes(path, true);
    bool granted = security::grantSelfAccess(path, GENERIC_ALL);
    if (granted && !cleared) cleared = clearAttributes(path, true);
    return cleared || granted;
}

// Deletes the item moved into the trash. A read-only file, or a directory that was not empty
// after all (something arrived after it was listed), is not deleted there: after one try without
// the read-only attribute it goes back where it came from and the failure is raised.
void deleteInTrash(const paths::NormalPath& moved, const paths::NormalPath& original, bool directory) {
    DWORD error = deleteItem(moved, directory);
    if (error == ERROR_ACCESS_DENIED && clearAttributes(moved, true)) error = deleteItem(moved, directory);
    // Gone already: a purge of the trash took it, which is the removal asked for.
    if (error == ERROR_SUCCESS || isVanished(error)) return;
    if (platform::current().moveFile(moved, original, 0) != ERROR_SUCCESS)
        raiseRunTimeError(0, L"Unable to remove path (%s): (%d) it stays in (%s)", displayPath(original),
                          static_cast<int>(error), displayPath(moved));
    raiseRemoveError(error, original);
}

// Deletes the item where it is, with access recovery between `attempts` tries (0 counts as 1).
// An item that vanished meanwhile is removed. ERROR_DIR_NOT_EMPTY is answered, not raised: the
// caller decides what a directory that still holds entries means.
DWORD deleteInPlace(const paths::NormalPath& path, bool directory, int attempts) {
    const int budget = std::max(attempts, 1);
    for (int attempt = 1;; ++attempt) {
        DWORD error = deleteItem(path, directory);
        if (error == ERROR_SUCCESS || isVanished(error)) return ERROR_SUCCESS;
        if (error == ERROR_DIR_NOT_EMPTY) return error;
        if (error != ERROR_ACCESS_DENIED || attempt >= budget || !recoverDeletion(path)) raiseRemoveError(error, path);
    }
}

void requireDeleted(const paths::NormalPath& path, int attempts) {
    if (DWORD error = deleteInPlace(path, true, attempts)) raiseRemoveError(error, path);
}

// removePath once the attributes are known.
void removeKnown(const paths::NormalPath& path, DWORD attributes, const paths::NormalPath& trash, int attempts) {
    const bool directory = attributes & FILE_ATTRIBUTE_DIRECTORY;
    const int budget = std::max(attempts, 1);
    for (int attempt = 1;; ++attempt) {
        if (!trash.empty()) {
            try {
                // One item, deleted by the very next call: no mark is needed (and a mark would
                // refuse that deletion too).
                paths::NormalPath moved = moveToTemporaryName(path, trash, L"", budget);
                deleteInTrash(moved, path, directory);
                return;
            } catch (const RunTime::AccessDeniedException&) {
                // deleted in place below, with access recovery
            }
        }
        DWORD error = deleteItem(path, directory);
        if (error == ERROR_SUCCESS) return;
        if (error != ERROR_ACCESS_DENIED || attempt >= budget || !recoverDeletion(path)) raiseRemoveError(error, path);
    }
}

// A listed entry that has disappeared meanwhile is already removed.
template <class Removal> void unlessVanished(const paths::NormalPath& path, Removal removal) {
    try {
        removal();
    } catch (const RunTime::PathNotFoundException&) {
        if (exists(path)) throw;
    }
}

// Deletes the listing's files and reparse points (as themselves), the listed folder being at
// `at` now: in place when `trash` is empty, else each by way of the trash.
void deleteEntries(const DirectoryListing& listing, const paths::NormalPath& at, const paths::NormalPath& trash, int attempts) {
    auto removeEntry = [&](const DirectoryEntry& entry) {
        paths::NormalPath path = at.join(entry.name);
        const bool directory = entry.attributes & FILE_ATTRIBUTE_DIRECTORY;
        if (trash.empty())
            deleteInPlace(path, directory, attempts); // a reparse point goes whatever it leads to
        else
            unlessVanished(path, [&] { removeKnown(path, entry.attributes, trash, attempts); });
    };
    for (const DirectoryEntry& file : listing.files) removeEntry(file);
    for (const DirectoryEntry& directory : listing.directories)
        if (!isDotEntry(directory) && directory.isReparsePoint) removeEntry(directory);
}

// Deletes, in place, everything below the listed folder, which is at `at` now; its folders are
// listed afresh. The folder itself stays.
void purgeContents(const DirectoryListing& listing, const paths::NormalPath& at, int attempts) {
    for (const DirectoryEntry& directory : listing.directories) {
        if (isDotEntry(directory) || directory.isReparsePoint) continue;
        paths::NormalPath path = at.join(directory.name);
        purgeContents(listDirectory(path), path, attempts);
        requireDeleted(path, attempts);
    }
    deleteEntries(listing, at, {}, attempts);
}

// Moves the tree into the trash in one move: it leaves its place at once. Empty when the move is
// refused (an open file inside it, say).
paths::NormalPath moveWhole(const paths::NormalPath& path, const paths::NormalPath& trash, int attempts) {
    if (trash.empty() || paths::isVolumeRoot(path)) return {};
    try {
        return moveToTemporaryName(path, trash, L"", attempts);
    } catch (...) {
        return {};
    }
}

// Puts what is left of a tree moved into the trash back where it came from. When even that fails
// the message names what stays in the trash, and where.
void moveBack(const paths::NormalPath& moved, const paths::NormalPath& original, TrashClaim& claim) {
    claim.release(); // the move needs the DELETE access the mark refuses
    if (platform::current().moveFile(moved, original, 0) == ERROR_SUCCESS) return;
    std::wstring left;
    DirectoryListing rest = listDirectory(moved);
    for (const auto* entries : {&rest.files, &rest.directories})
        for (const DirectoryEntry& entry : *entries)
            if (!isDotEntry(entry)) left += (left.empty() ? L"" : L", ") + entry.name;
    raiseRunTimeError(0, L"Unable to remove path (%s): what is left of it stays in (%s): %s", displayPath(original),
                      displayPath(moved), left);
}

// The tree leaves its place in one move and is deleted inside the trash: one deletion per entry.
// False when the move is refused, or when a deletion inside the trash fails: then what is left of
// the tree is back in its place, nothing of it stays in the trash, and the caller removes it entry
// by entry (which names the failing entry by its own path).
bool removeWhole(const DirectoryListing& listing, const paths::NormalPath& trash, int attempts) {
    paths::NormalPath moved = moveWhole(listing.path, trash, attempts);
    if (moved.empty()) return false;
    TrashClaim claim = TrashClaim::mark(moved);
    try {
        purgeContents(listing, moved, attempts);
        claim.release();
        requireDeleted(moved, attempts);
        return true;
    } catch (...) {
        // Every failure class: one that passed here would strand the tree in the trash.
        moveBack(moved, listing.path, claim);
        return false;
    }
}

// Entry by entry, once moving the whole tree away failed: the first entry that cannot be removed
// ends the walk with its own path.
void removeEntries(const DirectoryListing& listing, const paths::NormalPath& trash, int attempts) {
    // The listing's attributes stand for a query per entry: one enumeration per directory.
    deleteEntries(listing, listing.path, trash, attempts);
    for (const DirectoryEntry& directory : listing.directories)
        if (!isDotEntry(directory) && !directory.isReparsePoint)
            removeEntries(listDirectory(listing.path, directory), trash, attempts);
    removePath(listing.path, trash, attempts);
}

// Deletes what the copy listed, the top folder being at `at` now (in the trash, or still in its
// place when `trash` is given), each folder only once it is empty. Answers the folders that still
// hold entries (by their original paths): those arrived after the copy and are kept. `claim` is
// ended right before the top folder's own deletion.
std::vector<paths::NormalPath> deleteCopied(const CopiedListings& copied, const paths::NormalPath& at, const paths::NormalPath& trash,
                                       TrashClaim& claim, int attempts) {
    const std::wstring& top = copied.back().path;
    std::vector<paths::NormalPath> kept;
    for (const DirectoryListing& listing : copied) {
        paths::NormalPath here = paths::NormalPath::fromNormal(at.str() + listing.path.str().substr(top.size()));
        deleteEntries(listing, here, trash, attempts);
        if (&listing == &copied.back()) claim.release();
        if (deleteInPlace(here, true, attempts) == ERROR_DIR_NOT_EMPTY) kept.push_back(listing.path);
    }
    return kept;
}

} // namespace

void removePath(const paths::NormalPath& path, const paths::NormalPath& trash, int attempts) {
    DWORD attributes = getAttributes(path, attempts);
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    removeKnown(path, attributes, trash, attempts);
}

void removeTree(DirectoryListing listing, int attempts) {
    const paths::NormalPath trash = trashDirectory(listing.path);
    if (removeWhole(listing, trash, attempts)) return;
    // Entries deleted before a failure are gone: list again what came back.
    if (!trash.empty()) listing = listDirectory(listing.path);
    removeEntries(listing, trash, attempts);
}

void removeCopied(const CopiedListings& copied, int attempts) {
    if (copied.empty()) return;
    const paths::NormalPath& top = copied.back().path;
    const paths::NormalPath trash = trashDirectory(top);
    std::vector<paths::NormalPath> kept;
    TrashClaim claim;
    bool done = false;
    if (paths::NormalPath moved = moveWhole(top, trash, attempts); !moved.empty()) {
        claim = TrashClaim::mark(moved);
        try {
            kept = deleteCopied(copied, moved, {}, claim, attempts);
            done = true;
        } catch (...) {
            moveBack(moved, top, claim);
        }
        if (!kept.empty()) moveBack(moved, top, claim);
    }
    if (!done) kept = deleteCopied(copied, top, trash, claim, attempts);
    if (kept.empty()) return;
    std::wstring names;
    for (const paths::NormalPath& path : kept) names += (names.empty() ? L"" : L", ") + displayPath(path);
    raiseRunTimeError(ERROR_DIR_NOT_EMPTY, L"Unable to remove path (%s): entries arrived in it during the move",
                      names);
}

void purgeStray(const paths::NormalPath& path, DWORD attributes, TrashClaim& claim, int attempts) {
    const bool directory = attributes & FILE_ATTRIBUTE_DIRECTORY;
    if (directory && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) purgeContents(listDirectory(path), path, attempts);
    claim.release();
    if (DWORD error = deleteInPlace(path, directory, attempts)) raiseRemoveError(error, path);
}

} // namespace files
