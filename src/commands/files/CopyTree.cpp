#include "commands/files/CopyTree.h"

#include "app/Exceptions.h"
#include "commands/PathPolicy.h"
#include "commands/files/CreatedNames.h"
#include "commands/files/FileHelpers.h"
#include "commands/files/FileTransfer.h"
#include "commands/files/Junction.h"
#include "commands/files/OpenDirectory.h"
#include "platform/Platform.h"

namespace files {
namespace {

// The effect of opening the directory with OpenAlways and closing it again, in one call when the
// directory is new (the common case): per-directory round trips decide the time of a tree copy.
void ensureDirectory(const std::wstring& path, int attempts) {
    DWORD error = platform::current().createDirectory(path, nullptr);
    if (error == ERROR_SUCCESS) return;
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
        DWORD attributes = getAttributes(path, attempts);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    }
    openTreeDirectory(path, Disposition::OpenAlways, attempts); // the full way: recovery, messages
}

// copyTree below its top: `destination` was made by the level above.
void copyContents(const DirectoryListing& listing, const std::wstring& destination, int attempts, bool recursive,
                  CopiedListings* copied) {
    CreatedNames created;
    for (const DirectoryEntry& file : listing.files) {
        created.add(file.name, joinPath(listing.path, file.name), joinPath(destination, file.name));
        copyFile(joinPath(listing.path, file.name), joinPath(destination, file.name), attempts);
    }
    for (const DirectoryEntry& directory : listing.directories)
        if (!isDotEntry(directory)) {
            created.add(directory.name, joinPath(listing.path, directory.name), joinPath(destination, directory.name));
            ensureDirectory(joinPath(destination, directory.name), attempts);
        }
    if (!recursive) return;
    for (const DirectoryEntry& directory : listing.directories) {
        if (isDotEntry(directory)) continue;
        const std::wstring target = joinPath(destination, directory.name);
        if (directory.isJunction) {
            std::wstring leadsTo =
                readJunctionTarget(openTreeDirectory(joinPath(listing.path, directory.name), Disposition::OpenExisting,
                                                     attempts)
                                       .get());
            platform::FileHandle made = openTreeDirectory(target, Disposition::CreateAlways, attempts);
            makeJunction(made.get(), leadsTo, attempts);
        } else {
            // What a reparse point leads to is not this tree's: a move never removes it from there.
            copyContents(listDirectory(listing.path, directory), target, attempts, recursive,
                         directory.isReparsePoint ? nullptr : copied);
        }
    }
    if (copied) copied->push_back(listing);
}

} // namespace

void copyTree(const DirectoryListing& listing, const std::wstring& destination, int attempts, bool recursive,
              CopiedListings* copied) {
    openTreeDirectory(destination, Disposition::OpenAlways, attempts);
    copyContents(listing, pathpolicy::normalizePath(L"", destination), attempts, recursive, copied);
}

} // namespace files
