// Writing a file's DACL: entries of deleted accounts are dropped first, and a refusal is met
// once by taking ownership of the object. Every write reaches the object at the path itself: a
// junction or symbolic link there gets the new security, never the place it leads to.
#pragma once
#include "security/Acl.h"

#include <string>

namespace security {

// Writes the DACL protected from (or open to) inheritance. On access denied the process takes
// ownership and tries once more; otherwise "Unable to set the object (%s) security info".
void writeDaclProtected(const std::wstring& path, const Acl& dacl);
void writeDaclInherited(const std::wstring& path, const Acl& dacl);
// The same with a list dropUnresolvableAces has already cleaned: a walk writing one list to many
// objects looks its accounts up once.
void writeCleanDaclInherited(const std::wstring& path, const Acl& cleaned);

// Adds an access-allowed entry for the SID where an explicit entry belongs: after the explicit
// deny entries, before the other entries. The DACL keeps its protection from inheritance; an
// object without a DACL (everyone holds every right already) is left as it is.
void addAllowedEntry(const std::wstring& path, const Sid& sid, DWORD mask);
// Makes the caller (the thread after the identity switch, else the process) the owner, enabling
// SeTakeOwnershipPrivilege first when that token holds it ("Unable to set the object (%s) owner").
void takeOwnership(const std::wstring& path);
// The recovery of an administrator refused access: takes ownership of the file or directory and
// adds an access-allowed entry with `mask` for the caller's own user (the thread's after the
// identity switch). False when a step is refused with access denied; other failures raise.
bool grantSelfAccess(const std::wstring& path, DWORD mask);

// A copy without the entries whose SID belongs to a deleted account.
Acl dropUnresolvableAces(const Acl& dacl);

} // namespace security
