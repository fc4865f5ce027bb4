#include "commands/files/CopyTree.h"

#include "app/Exceptions.h"
#include "commands/PathPolicy.h"
#include "commands/files/FileHelpers.h"
#include "commands/files/FileTransfer.h"
#include "commands/files/Junction.h"
#include "commands/files/OpenDirectory.h"
#include "platform/Platform.h"

namespace files {
namespace {

// The effect of opening the directory with OpenAlways and closing it again, in one call when the
// directory is new (the common case): per-directory round trips decide the time of a tree copy.
void ensureDirectory(const paths::NormalPath& path, int attempts) {
    DWORD error = platform::current().createDirectory(path, nullptr);
    if (error == ERROR_SUCCESS) return;
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
        DWORD attributes = getAttributes(path, attempts);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    }
    openTreeDirectory(path, Disposition::OpenAlways, attempts); // the full way: recovery, messages
}

// copyTree below its top: `destination` was made by the level above.
void copyContents(const DirectoryListing& listing, const paths::NormalPath& destination, int attempts, bool recursive) {
    for (const DirectoryEntry& file : listing.files)
        copyFile(listing.path.join(file.name), destination.join(file.name), attempts);
    for (const DirectoryEntry& directory : listing.directories)
        if (!isDotEntry(directory)) ensureDirectory(destination.join(directory.name), attempts);
    if (!recursive) return;
    for (const DirectoryEntry& directory : listing.directories) {
        if (isDotEntry(directory)) continue;
        const paths::NormalPath target = destination.join(directory.name);
        if (directory.isJunction) {
            paths::NormalPath leadsTo = paths::NormalPath(
                readJunctionTarget(openTreeDirectory(listing.path.join(directory.name), Disposition::OpenExisting,
                                                     attempts)
                                       .get()));
            platform::FileHandle made = openTreeDirectory(target, Disposition::CreateAlways, attempts);
            makeJunction(made.get(), leadsTo, attempts);
        } else {
            copyContents(listDirectory(listing.path, directory), target, attempts, recursive);
        }
    }
}

} // namespace

void copyTree(const DirectoryListing& listing, const paths::NormalPath& destination, int attempts, bool recursive) {
    openTreeDirectory(destination, Disposition::OpenAlways, attempts);
    copyContents(listing, destination, attempts, recursive);
}

} // namespace files
