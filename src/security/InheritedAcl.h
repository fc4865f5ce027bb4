// The entries a child object inherits from its parent's DACL.
#pragma once
#include "security/Acl.h"

namespace security {

// The inheritable entries of `parent` as a child file or directory receives them, each marked
// INHERITED_ACE: a file takes the object-inheritable ones with no inheritance flags; a directory
// takes the container-inheritable ones (flags kept, inherit-only cleared; none at all after
// NO_PROPAGATE_INHERIT_ACE) and keeps the object-only ones as inherit-only, for its files.
Acl inheritedAcl(const Acl& parent, bool directory);

} // namespace security
