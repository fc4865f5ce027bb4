#include "paths/LongPath.h"
#include "app/Text.h"
#include "commands/files/RemovePath.h"

#include "app/Exceptions.h"
#include "commands/PathPolicy.h"
#include "commands/files/FileHelpers.h"
#include "commands/files/MoveToTemporaryName.h"
#include "commands/files/TrashDirectory.h"
#include "platform/Platform.h"

#include <algorithm>

namespace files {
namespace {

DWORD deleteItem(const paths::NormalPath& path, bool directory) {
    platform::Platform& p = platform::current();
    return directory ? p.removeDirectory(path) : p.deleteFile(path);
}

[[noreturn]] void raiseRemoveError(DWORD error, const paths::NormalPath& path) {
    raiseRunTimeError(error, L"Unable to remove path (%s)", text::displayPath(path));
}

// Deletes the item moved into the trash. A read-only file, or a directory that was not empty
// after all (something arrived after it was listed), is not deleted there: after one try without
// the read-only attribute it goes back where it came from and the failure is raised.
void deleteInTrash(const paths::NormalPath& moved, const paths::NormalPath& original, bool directory) {
    DWORD error = deleteItem(moved, directory);
    if (error == ERROR_SUCCESS) return;
    if (error == ERROR_ACCESS_DENIED && clearAttributes(moved, true)) error = deleteItem(moved, directory);
    if (error == ERROR_SUCCESS) return;
    if (platform::current().moveFile(moved, original, 0) != ERROR_SUCCESS)
        raiseRunTimeError(0, L"Unable to remove path (%s): (%d) it stays in (%s)", text::displayPath(original),
                          static_cast<int>(error), text::displayPath(moved));
    raiseRemoveError(error, original);
}

// Deletes the item where it is; on access denied the process takes it and tries again.
void deleteInPlace(const paths::NormalPath& path, bool directory, int attempts) {
    const int budget = std::max(attempts, 1);
    for (int attempt = 1;; ++attempt) {
        DWORD error = deleteItem(path, directory);
        if (error == ERROR_SUCCESS) return;
        if (error != ERROR_ACCESS_DENIED || !grantSelfAccess(path, GENERIC_ALL) || !clearAttributes(path, true) ||
            attempt >= budget)
            raiseRemoveError(error, path);
    }
}

// removePath once the attributes are known.
void removeKnown(const paths::NormalPath& path, DWORD attributes, const paths::NormalPath& trash, int attempts) {
    const bool directory = attributes & FILE_ATTRIBUTE_DIRECTORY;
    const int budget = std::max(attempts, 1);
    for (int attempt = 1;; ++attempt) {
        if (!trash.empty()) {
            try {
                paths::NormalPath moved = moveToTemporaryName(path, trash, L"", budget);
                deleteInTrash(moved, path, directory);
                return;
            } catch (const RunTime::AccessDeniedException&) {
                // deleted in place below, with access recovery
            }
        }
        DWORD error = deleteItem(path, directory);
        if (error == ERROR_SUCCESS) return;
        if (error != ERROR_ACCESS_DENIED || !grantSelfAccess(path, GENERIC_ALL) || !clearAttributes(path, true) ||
            attempt >= budget)
            raiseRemoveError(error, path);
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

// Deletes, inside the trash, a tree that was moved there whole: every entry in place, with access
// recovery. Reparse points are deleted as themselves.
void purge(const DirectoryListing& listing, int attempts) {
    for (const DirectoryEntry& file : listing.files)
        deleteInPlace(listing.path.join(file.name), false, attempts);
    for (const DirectoryEntry& directory : listing.directories) {
        if (isDotEntry(directory)) continue;
        paths::NormalPath path = listing.path.join(directory.name);
        if (directory.isReparsePoint)
            deleteInPlace(path, true, attempts);
        else
            purge(listDirectory(path), attempts);
    }
    deleteInPlace(listing.path, true, attempts);
}

// The tree leaves its place in one move and is deleted inside the trash: one deletion per entry.
// False when the move is refused (an open file inside it, say), or when a deletion inside the
// trash fails: then what is left of the tree is back in its place, nothing of it stays in the
// trash, and the caller removes it entry by entry (which names the failing entry by its own path).
bool removeWhole(const DirectoryListing& listing, const paths::NormalPath& trash, int attempts) {
    if (trash.empty() || paths::isVolumeRoot(listing.path)) return false;
    paths::NormalPath moved;
    try {
        moved = moveToTemporaryName(listing.path, trash, L"", attempts);
    } catch (const std::runtime_error&) {
        return false;
    }
    try {
        DirectoryListing inTrash = listing;
        inTrash.path = moved;
        purge(inTrash, attempts);
    } catch (const std::runtime_error&) {
        if (platform::current().moveFile(moved, listing.path, 0) != ERROR_SUCCESS)
            raiseRunTimeError(0, L"Unable to remove path (%s): what is left of it stays in (%s)",
                              text::displayPath(listing.path), text::displayPath(moved));
        return false;
    }
    return true;
}

// Entry by entry, once moving the whole tree away failed: the first entry that cannot be removed
// ends the walk with its own path.
void removeEntries(const DirectoryListing& listing, const paths::NormalPath& trash, int attempts) {
    // The listing's attributes stand for a query per entry: one enumeration per directory.
    for (const DirectoryEntry& file : listing.files) {
        paths::NormalPath path = listing.path.join(file.name);
        unlessVanished(path, [&] { removeKnown(path, file.attributes, trash, attempts); });
    }
    for (const DirectoryEntry& directory : listing.directories) {
        if (isDotEntry(directory)) continue;
        paths::NormalPath path = listing.path.join(directory.name);
        if (directory.isReparsePoint)
            unlessVanished(path, [&] { removeKnown(path, directory.attributes, trash, attempts); });
        else
            removeEntries(listDirectory(path), trash, attempts);
    }
    removePath(listing.path, trash, attempts);
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

} // namespace files
