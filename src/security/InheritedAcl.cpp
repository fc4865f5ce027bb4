#include "security/InheritedAcl.h"

namespace security {
namespace {

Ace withFlags(const Ace& ace, BYTE flags) {
    if (!ace.isObjectType()) return Ace::make(ace.type(), flags, ace.mask(), ace.sid());
    return Ace::make(ace.type(), flags, ace.mask(), ace.sid(), ace.objectType(), ace.inheritedObjectType());
}

} // namespace

Acl inheritedAcl(const Acl& parent, bool directory) {
    Acl result = Acl::emptyList();
    if (parent.absent()) return result;
    for (const Ace& ace : parent.aces()) {
        const BYTE flags = ace.flags();
        const bool noPropagate = flags & NO_PROPAGATE_INHERIT_ACE;
        if (!directory) {
            if (flags & OBJECT_INHERIT_ACE) result.append(withFlags(ace, INHERITED_ACE));
            continue;
        }
        if (flags & CONTAINER_INHERIT_ACE) {
            BYTE kept = noPropagate ? 0 : flags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
            result.append(withFlags(ace, kept | INHERITED_ACE));
        } else if ((flags & OBJECT_INHERIT_ACE) && !noPropagate) {
            result.append(withFlags(ace, OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE | INHERITED_ACE));
        }
    }
    return result;
}

} // namespace security
