#include "security/AclDump.h"

#include "app/Format.h"
#include "security/FileRights.h"

namespace security {

std::wstring aceDump(const Ace& ace, bool fold) {
    std::optional<ApplyOnto> row = applyOntoRow(ace.flags());
    std::wstring applies = row ? row->phrase : format(L"%X", ace.flags() & ~INHERITED_ACE);
    return format(L"%s: %s for %s ACE with access mask %X\r\n", ace.sid().displayName(),
                  ace.isDeny() ? L"deny" : L"allow", applies, fold ? foldGeneric(ace.mask()) : ace.mask());
}

std::wstring aclDump(const Acl& acl) {
    std::wstring out;
    for (const Ace& ace : acl.aces())
        out += aceDump(ace);
    return out;
}

} // namespace security
