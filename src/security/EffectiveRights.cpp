#include "security/EffectiveRights.h"

#include "app/Log.h"
#include "security/AclDump.h"
#include "security/FileRights.h"

#include <algorithm>

namespace security {

std::vector<CallerSid> callerSids() {
    Token token = Token::caller(TOKEN_QUERY);
    std::vector<CallerSid> out{{token.user(), false}};
    for (TokenGroup& group : token.groups())
        out.push_back({std::move(group.sid), group.denyOnly()});
    return out;
}

DWORD effectiveRights(const Acl& dacl, const Sid& owner, const std::vector<CallerSid>& caller) {
    const bool isOwner = std::any_of(caller.begin(), caller.end(),
                                     [&](const CallerSid& c) { return !owner.empty() && c.sid == owner; });
    // No DACL at all grants everyone everything.
    if (dacl.absent()) return kAllFileRights;
    DWORD allow = isOwner ? 0xC00 : 0;
    DWORD deny = 0;
    for (const Ace& ace : dacl.aces()) {
        if (ace.flags() & INHERIT_ONLY_ACE) continue;
        const Sid sid = ace.sid();
        const bool isDeny = ace.isDeny();
        auto match = std::find_if(caller.begin(), caller.end(), [&](const CallerSid& c) {
            return c.sid == sid && (isDeny || !c.denyOnly);
        });
        if (match == caller.end()) continue;
        if (LogManager::instance().reaches(0)) LogManager::instance().log(0, L"%s", aceDump(ace));
        (isDeny ? deny : allow) |= rightsOf(foldGeneric(ace.mask()));
    }
    return allow & ~deny;
}

} // namespace security
