// The named file rights a caller holds through a DACL, as the system's access check decides them.
#pragma once
#include "security/Acl.h"
#include "security/Token.h"

#include <vector>

namespace security {

// How the access check uses one SID of the caller's token.
enum class SidUse {
    enabled,  // matches allow and deny entries
    denyOnly, // matches deny entries only (SE_GROUP_USE_FOR_DENY_ONLY)
    disabled, // matches nothing
};

// One identity of the caller: the token user or a group.
struct CallerSid {
    Sid sid;
    SidUse use = SidUse::enabled;
};

// What the access check knows of the caller: its SIDs and whether SeTakeOwnershipPrivilege is
// enabled.
struct Caller {
    std::vector<CallerSid> sids;
    bool takeOwnership = false;
};

// The caller from the thread token, or the process token when the thread has none: the user
// first, then every group in order, each with its use.
Caller callerSids();

// Right bits (FileRights) whose whole Windows mask the access check grants the caller.
DWORD effectiveRights(const Acl& dacl, const Sid& owner, const Caller& caller);

} // namespace security
