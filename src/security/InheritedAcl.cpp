#include "security/InheritedAcl.h"

namespace security {
Acl inheritedAcl(const Acl& parent, bool directory) {
    Acl result = Acl::emptyList();
    if (parent.absent()) return result;
    for (const Ace& ace : parent.aces()) {
        const BYTE flags = ace.flags();
        const bool noPropagate = flags & NO_PROPAGATE_INHERIT_ACE;
        if (!directory) {
            if (flags & OBJECT_INHERIT_ACE) result.append(ace.with(INHERITED_ACE, ace.mask()));
            continue;
        }
        if (flags & CONTAINER_INHERIT_ACE) {
            BYTE kept = noPropagate ? 0 : flags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
            result.append(ace.with(kept | INHERITED_ACE, ace.mask()));
        } else if ((flags & OBJECT_INHERIT_ACE) && !noPropagate) {
            result.append(ace.with(OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE | INHERITED_ACE, ace.mask()));
        }
    }
    return result;
}

} // namespace security
