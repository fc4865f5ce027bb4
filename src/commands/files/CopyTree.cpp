#include "commands/files/CopyTree.h"

#include "commands/files/FileTransfer.h"
#include "commands/files/Junction.h"
#include "commands/files/OpenDirectory.h"

namespace files {

void copyTree(const DirectoryListing& listing, const std::wstring& destination, int attempts, bool recursive) {
    openTreeDirectory(destination, Disposition::OpenAlways, attempts);
    for (const DirectoryEntry& file : listing.files)
        copyFile(joinPath(listing.path, file.name), joinPath(destination, file.name), attempts);
    for (const DirectoryEntry& directory : listing.directories)
        if (!isDotEntry(directory)) openTreeDirectory(joinPath(destination, directory.name), Disposition::OpenAlways, attempts);
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
            copyTree(listDirectory(listing.path, directory), target, attempts, recursive);
        }
    }
}

} // namespace files
