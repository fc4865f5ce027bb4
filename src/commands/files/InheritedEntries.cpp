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

void reapplyBelow(const paths::NormalPath& directory, const security::Acl& dacl);

// The entries of the folder `directory`, whose list is `dacl`, as its listing shows them now:
// files and folders (reparse points are neither written nor entered) get what the list passes
// on. `dacl` is clean (dropUnresolvableAces), and so is every list inherited from it.
void reapplyTo(const paths::NormalPath& directory, const security::Acl& dacl,
               const std::vector<DirectoryEntry>& files, const std::vector<DirectoryEntry>& directories) {
    const security::Acl forFiles = security::inheritedAcl(dacl, false);
    const security::Acl forDirectories = security::inheritedAcl(dacl, true);
    for (const DirectoryEntry& file : files)
        if (!file.isReparsePoint) security::writeCleanDaclInherited(directory.join(file.name), forFiles);
    for (const DirectoryEntry& sub : directories) {
        if (isDotEntry(sub) || sub.isReparsePoint) continue;
        paths::NormalPath path = directory.join(sub.name);
        security::SecurityInfo info = security::readSecurity(path);
        if (!identity::accessCheck(info.owner, info.group, info.dacl, WRITE_DAC)) continue;
        security::writeCleanDaclInherited(path, forDirectories);
        reapplyBelow(path, forDirectories);
    }
}

// Everything below `directory`: all of it arrived.
void reapplyBelow(const paths::NormalPath& directory, const security::Acl& dacl) {
    DirectoryListing listing = listDirectory(directory);
    reapplyTo(directory, dacl, listing.files, listing.directories);
}

std::vector<DirectoryEntry> named(const std::vector<DirectoryEntry>& entries,
                                  const std::vector<std::wstring>& names) {
    std::unordered_set<std::wstring> wanted;
    for (const std::wstring& name : names)
        wanted.insert(paths::upcased(name));
    std::vector<DirectoryEntry> found;
    for (const DirectoryEntry& entry : entries)
        if (wanted.count(paths::upcased(entry.name))) found.push_back(entry);
    return found;
}

} // namespace

void reapplyInheritedEntries(const paths::NormalPath& directory, const ArrivingTree& arrived) {
    security::SecurityInfo info = security::readSecurity(directory);
    if (!info.dacl.absent()) { // nothing to inherit from a NULL DACL
        // What arrived as the destination lists it now, so that a reparse point among it (none
        // should be: an unpacked tree holding one was refused) is still never written or entered.
        DirectoryListing listing = listDirectory(directory);
        reapplyTo(directory, security::dropUnresolvableAces(info.dacl),
                  named(listing.files, arrived.files), named(listing.directories, arrived.directories));
    }
    for (const auto& [name, below] : arrived.merged)
        reapplyInheritedEntries(directory.join(name), below);
}

} // namespace files
