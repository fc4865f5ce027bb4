#include "commands/files/CopyTree.h"

#include "app/Exceptions.h"
#include "commands/PathPolicy.h"
#include "commands/files/CopyWorkers.h"
#include "commands/files/CreatedNames.h"
#include "commands/files/FileHelpers.h"
#include "commands/files/OpenDirectory.h"
#include "commands/files/TreeDestination.h"
#include "platform/Platform.h"

#include <exception>
#include <vector>

namespace files {
namespace {

// The effect of opening the directory with OpenAlways and closing it again, in one call when the
// directory is new (the common case): per-directory round trips decide the time of a tree copy.
// True when this call made the directory.
bool ensureDirectory(const paths::NormalPath& path, int attempts) {
    DWORD error = platform::current().createDirectory(path, nullptr);
    if (error == ERROR_SUCCESS) return true;
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
        DWORD attributes = getAttributes(path, attempts);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    }
    openTreeDirectory(path, Disposition::OpenAlways, attempts); // the full way: recovery, messages
    return false;
}

// The junction of the source at `source` made again at `destination`, leading where it leads;
// only to a place the command may link to.
void copyJunction(const paths::NormalPath& source, const paths::NormalPath& destination, int attempts,
                  const LinkTargetCheck& checkTarget) {
    std::wstring leadsTo =
        readJunctionTarget(openTreeDirectory(source, Disposition::OpenExisting, attempts).get(), source);
    checkTarget(leadsTo);
    // Whatever stands at the destination is moved into the trash as itself, never entered.
    platform::FileHandle made = openTreeDirectory(destination, Disposition::CreateAlways, attempts);
    makeJunction(made.get(), paths::NormalPath(leadsTo), attempts);
}

// Fills `destination` (open and judged) with the listed directory's contents.
void copyContents(const DirectoryListing& listing, const TreeDestination& destination, int attempts, bool recursive,
                  const LinkTargetCheck& checkTarget, CopiedListings* copied, CopyWorkers& workers) {
    CreatedNames created;
    std::vector<CopyWorkers::Copy> copies;
    copies.reserve(listing.files.size());
    // A file the checks refuse ends the copy where it stands: the files before it are copied,
    // none after it.
    std::exception_ptr refused;
    for (const DirectoryEntry& file : listing.files) {
        CopyWorkers::Copy copy{listing.path.join(file.name), destination.path().join(file.name)};
        try {
            destination.refuseReparsePoint(file.name);
            created.add(file.name, copy.source, copy.destination);
        } catch (...) {
            refused = std::current_exception();
            break;
        }
        copies.push_back(std::move(copy));
    }
    // In a directory made for this copy a file that exists was put there by someone else since:
    // it is never replaced.
    workers.copyAll(copies, !destination.made());
    if (refused) std::rethrow_exception(refused);
    std::vector<bool> made(listing.directories.size());
    for (size_t i = 0; i < listing.directories.size(); ++i) {
        const DirectoryEntry& directory = listing.directories[i];
        if (isDotEntry(directory)) continue;
        // A junction of the source replaces the item as itself; anything else is written into.
        if (!directory.isJunction) destination.refuseReparsePoint(directory.name);
        created.add(directory.name, listing.path.join(directory.name), destination.path().join(directory.name));
        made[i] = ensureDirectory(destination.path().join(directory.name), attempts);
    }
    if (!recursive) return;
    for (size_t i = 0; i < listing.directories.size(); ++i) {
        const DirectoryEntry& directory = listing.directories[i];
        if (isDotEntry(directory)) continue;
        const paths::NormalPath target = destination.path().join(directory.name);
        if (directory.isJunction) {
            copyJunction(listing.path.join(directory.name), target, attempts, checkTarget);
        } else {
            // What a reparse point leads to is not this tree's: a move never removes it from there.
            copyContents(listDirectory(listing.path, directory), TreeDestination(target, attempts, made[i]),
                         attempts, recursive, checkTarget, directory.isReparsePoint ? nullptr : copied, workers);
        }
    }
    if (copied) copied->push_back(listing);
}

} // namespace

void copyTree(const DirectoryListing& listing, const paths::NormalPath& destination, int attempts, bool recursive,
              const LinkTargetCheck& checkTarget, CopiedListings* copied) {
    CopyWorkers workers(attempts);
    copyContents(listing, TreeDestination(destination, attempts), attempts, recursive, checkTarget, copied, workers);
}

} // namespace files
