// The named file rights a caller holds through a DACL.
#pragma once
#include "security/Acl.h"
#include "security/Token.h"

#include <vector>

namespace security {

// One identity of the caller: the token user or a group with its deny-only mark.
struct CallerSid {
    Sid sid;
    bool denyOnly = false;
};

// The caller's identities from the thread token, or the process token when the thread has none:
// the user first, then every group in order, disabled and deny-only groups included.
std::vector<CallerSid> callerSids();

// Right bits (FileRights) the caller holds. The owner starts with ReadPermissions and
// ChangePermissions; INHERIT_ONLY entries are skipped; a deny entry removes its rights wherever it
// stands. A deny-only group matches deny entries only: the system never grants through it.
DWORD effectiveRights(const Acl& dacl, const Sid& owner, const std::vector<CallerSid>& caller);

} // namespace security
