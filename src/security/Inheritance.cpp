#include "security/Inheritance.h"

#include "security/FileRights.h"

namespace security {

bool reaches(BYTE flags, bool file) {
    if ((flags & ~INHERITED_ACE) == 0) return false;
    return file ? (flags & OBJECT_INHERIT_ACE) != 0
                : (flags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)) != 0;
}

Acl inheritedAcl(const Acl& parent, bool directory) {
    Acl result = Acl::emptyList();
    if (parent.absent()) return result;
    for (const Ace& ace : parent.aces()) {
        const BYTE flags = ace.flags();
        if (!reaches(flags, !directory)) continue;
        const bool noPropagate = flags & NO_PROPAGATE_INHERIT_ACE;
        if (!directory) {
            result.append(ace.with(INHERITED_ACE, ace.mask()));
        } else if (flags & CONTAINER_INHERIT_ACE) {
            BYTE kept = noPropagate ? 0 : flags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
            result.append(ace.with(kept | INHERITED_ACE, ace.mask()));
        } else if (!noPropagate) {
            result.append(ace.with(OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE | INHERITED_ACE, ace.mask()));
        }
    }
    return result;
}

// Not inheritedAcl, on purpose: this list is matched against the entries a document asks for
// (Acl::findMatching ignores INHERITED_ACE and compares folded masks), in the flags the parent
// gives them rather than those the system writes; what a child is written is inheritedAcl's.
Acl passedOn(const Acl& parentDacl, bool file) {
    Acl out = Acl::emptyList();
    if (parentDacl.absent()) return out;
    for (const Ace& ace : parentDacl.aces()) {
        BYTE flags = ace.flags();
        if (!reaches(flags, file)) continue;
        if (file)
            flags = INHERITED_ACE;
        else if (flags & CONTAINER_INHERIT_ACE)
            flags &= ~INHERIT_ONLY_ACE;
        out.append(ace.with(flags, foldGeneric(ace.mask())));
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

Acl markedInherited(const Acl& folder) {
    Acl out = Acl::emptyList();
    if (folder.absent()) return out;
    for (const Ace& ace : folder.aces())
        out.append(ace.with(ace.flags() | INHERITED_ACE, ace.mask()));
    return out;
}

ChildLists inheritedLists(const Acl& parent) { return {inheritedAcl(parent, false), inheritedAcl(parent, true)}; }

ChildLists markedInheritedLists(const Acl& parent) {
    Acl marked = markedInherited(parent);
    return {marked, marked};
}

} // namespace security
