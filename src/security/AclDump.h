// One text line per access-control entry, for traces and the messages of permission setting.
#pragma once
#include "security/Acl.h"

#include <string>

namespace security {

// "%s: %s for %s ACE with access mask %X\r\n": the account (or the SID's string form when it
// does not resolve), "allow" or "deny", the apply-onto phrase (or the flags in hexadecimal) and
// the mask, folded first when `fold` is set.
std::wstring aceDump(const Ace& ace, bool fold = false);
std::wstring aclDump(const Acl& acl);

} // namespace security
