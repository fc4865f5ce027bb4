#include "commands/files/InheritedEntries.h"

#include "commands/files/DirectoryListing.h"
#include "identity/AccessCheck.h"
#include "paths/UpcasedName.h"
#include "security/DaclWrite.h"
#include "security/InheritedAcl.h"
#include "security/SecurityInfo.h"

#include <unordered_set>

namespace files {
namespace {

void reapplyBelow(const std::wstring& directory, const security::Acl& dacl);

// The entries of the folder `directory`, whose list is `dacl`, that are named: files and folders
// (without reparse points) that get what the list passes on. `dacl` is clean
// (dropUnresolvableAces), and so is every list inherited from it.
void reapplyTo(const std::wstring& directory, const security::Acl& dacl,
               const std::vector<std::wstring>& files, const std::vector<DirectoryEntry>& directories) {
    const security::Acl forFiles = security::inheritedAcl(dacl, false);
    const security::Acl forDirectories = security::inheritedAcl(dacl, true);
    for (const std::wstring& file : files)
        security::writeCleanDaclInherited(joinPath(directory, file), forFiles);
    for (const DirectoryEntry& sub : directories) {
        if (isDotEntry(sub) || sub.isReparsePoint) continue;
        std::wstring path = joinPath(directory, sub.name);
        security::SecurityInfo info = security::readSecurity(path);
        if (!identity::accessCheck(info.owner, info.group, info.dacl, WRITE_DAC)) continue;
        security::writeCleanDaclInherited(path, forDirectories);
        reapplyBelow(path, forDirectories);
    }
}

// Everything below `directory`: all of it arrived.
void reapplyBelow(const std::wstring& directory, const security::Acl& dacl) {
    DirectoryListing listing = listDirectory(directory);
    std::vector<std::wstring> files;
    for (const DirectoryEntry& file : listing.files)
        files.push_back(file.name);
    reapplyTo(directory, dacl, files, listing.directories);
}

} // namespace

void reapplyInheritedEntries(const std::wstring& directory, const ArrivingTree& arrived) {
    security::SecurityInfo info = security::readSecurity(directory);
    if (!info.dacl.absent()) { // nothing to inherit from a NULL DACL
        // The arriving folders as the destination lists them now: a reparse point among them
        // (none should be: the unpacked tree was refused with one) is still never entered.
        std::unordered_set<std::wstring> names;
        for (const std::wstring& name : arrived.directories)
            names.insert(paths::upcased(name));
        std::vector<DirectoryEntry> directories;
        for (const DirectoryEntry& sub : listDirectory(directory).directories)
            if (names.count(paths::upcased(sub.name))) directories.push_back(sub);
        reapplyTo(directory, security::dropUnresolvableAces(info.dacl), arrived.files, directories);
    }
    for (const auto& [name, below] : arrived.merged)
        reapplyInheritedEntries(joinPath(directory, name), below);
}

} // namespace files
