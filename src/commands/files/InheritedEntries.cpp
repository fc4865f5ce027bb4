#include "commands/files/InheritedEntries.h"

#include "commands/files/DirectoryListing.h"
#include "identity/AccessCheck.h"
#include "security/DaclWrite.h"
#include "security/InheritedAcl.h"
#include "security/SecurityInfo.h"

namespace files {
namespace {

// `dacl` is clean (dropUnresolvableAces), and so is every list inherited from it.
void reapplyBelow(const paths::NormalPath& directory, const security::Acl& dacl) {
    const security::Acl forFiles = security::inheritedAcl(dacl, false);
    const security::Acl forDirectories = security::inheritedAcl(dacl, true);
    DirectoryListing listing = listDirectory(directory);
    for (const DirectoryEntry& file : listing.files)
        if (!file.isReparsePoint) security::writeCleanDaclInherited(directory.join(file.name), forFiles);
    for (const DirectoryEntry& sub : listing.directories) {
        if (isDotEntry(sub) || sub.isReparsePoint) continue;
        paths::NormalPath path = directory.join(sub.name);
        security::SecurityInfo info = security::readSecurity(path);
        if (!identity::accessCheck(info.owner, info.group, info.dacl, WRITE_DAC)) continue;
        security::writeCleanDaclInherited(path, forDirectories);
        reapplyBelow(path, forDirectories);
    }
}

} // namespace

void reapplyInheritedEntries(const paths::NormalPath& directory) {
    security::SecurityInfo info = security::readSecurity(directory);
    if (info.dacl.absent()) return; // nothing to inherit from a NULL DACL
    reapplyBelow(directory, security::dropUnresolvableAces(info.dacl));
}

} // namespace files
