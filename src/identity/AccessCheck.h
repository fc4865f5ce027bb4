// Whether the thread's current identity is granted an access by a described security descriptor.
#pragma once
#include "security/Acl.h"
#include "security/SecurityInfo.h"
#include "security/Sid.h"

namespace identity {

// AccessCheck of the thread token (the process token impersonated on the thread when the thread
// has none, reverted afterwards) against owner, group and DACL, every generic bit of `desired`
// mapped to `desired` itself.
bool accessCheck(const security::Sid& owner, const security::Sid& group, const security::Acl& dacl,
                 DWORD desired);

// Whether the thread may change the DACL (WRITE_DAC) of an object with this security: the gate of
// the walks that hand entries down.
bool holdsWriteDac(const security::SecurityInfo& object);

} // namespace identity
