#include "permissions/InheritedAces.h"

#include "security/FileRights.h"

namespace permissions {

using security::Ace;
using security::Acl;

bool reaches(BYTE flags, bool file) {
    if ((flags & ~INHERITED_ACE) == 0) return false;
    return file ? (flags & OBJECT_INHERIT_ACE) != 0
                : (flags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)) != 0;
}

Acl passedOn(const Acl& parentDacl, bool file) {
    Acl out = Acl::emptyList();
    if (parentDacl.absent()) return out;
    for (const Ace& ace : parentDacl.aces()) {
        BYTE flags = ace.flags();
        if ((flags & ~INHERITED_ACE) == 0) continue;
        if (file) {
            if (!(flags & OBJECT_INHERIT_ACE)) continue;
            flags = INHERITED_ACE;
        } else if (flags & CONTAINER_INHERIT_ACE) {
            flags &= ~INHERIT_ONLY_ACE;
        }
        out.append(ace.with(flags, security::foldGeneric(ace.mask())));
    }
    return out;
}

Acl normalisedForFile(const Acl& acl) {
    Acl out = Acl::emptyList();
    if (acl.absent()) return out;
    for (const Ace& ace : acl.aces()) {
        BYTE read = ace.flags() & ~(INHERITED_ACE | NO_PROPAGATE_INHERIT_ACE);
        if (read == 0x2 || read == 0xA) continue;
        BYTE flags = read == 0 ? ace.flags() : 0;
        out.append(ace.with(flags, ace.mask()));
    }
    return out;
}

} // namespace permissions
