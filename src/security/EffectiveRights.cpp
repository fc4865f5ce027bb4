#include "security/EffectiveRights.h"

#include "app/Log.h"
#include "security/AclDump.h"
#include "security/FileRights.h"

#include <algorithm>

namespace security {
namespace {

// The owner may always read and change the DACL, so that no object can lock out its owner; an
// OWNER RIGHTS entry that applies to the object replaces this grant.
constexpr DWORD kOwnerImplicit = READ_CONTROL | WRITE_DAC;

const Sid& ownerRightsSid() {
    static const Sid sid = Sid::fromString(L"S-1-3-4");
    return sid;
}

SidUse useOf(const TokenGroup& group) {
    if (group.denyOnly()) return SidUse::denyOnly;
    return group.enabled() ? SidUse::enabled : SidUse::disabled;
}

enum class Effect { none, allow, deny };

// Audit and alarm entries grant and deny nothing. An object entry that names an object type
// guards a property set, which a file does not have; without one it acts as its plain type.
Effect effectOf(const Ace& ace) {
    switch (ace.type()) {
    case ACCESS_ALLOWED_ACE_TYPE:
        return Effect::allow;
    case ACCESS_DENIED_ACE_TYPE:
        return Effect::deny;
    case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
        return ace.objectType() ? Effect::none : Effect::allow;
    case ACCESS_DENIED_OBJECT_ACE_TYPE:
        return ace.objectType() ? Effect::none : Effect::deny;
    default:
        return Effect::none;
    }
}

// An entry that takes part in the walk: not inherit-only, and allowing or denying. Asking for the
// SID first raises on entry types the model does not know, whatever their effect.
struct WalkedEntry {
    const Ace& ace;
    Sid sid;
    Effect effect;
};

std::vector<WalkedEntry> walkedEntries(const std::vector<Ace>& aces) {
    std::vector<WalkedEntry> out;
    for (const Ace& ace : aces) {
        if (ace.flags() & INHERIT_ONLY_ACE) continue;
        Sid sid = ace.sid();
        Effect effect = effectOf(ace);
        if (effect != Effect::none) out.push_back({ace, std::move(sid), effect});
    }
    return out;
}

// The caller is the owner through its user or an enabled group; a deny-only or disabled SID never
// makes it the owner.
bool isOwnedBy(const Caller& caller, const Sid& owner) {
    return !owner.empty() && std::any_of(caller.sids.begin(), caller.sids.end(), [&](const CallerSid& c) {
        return c.use == SidUse::enabled && c.sid == owner;
    });
}

// OWNER RIGHTS stands for the owner; any other SID matches an enabled SID of the caller, and a
// deny entry a deny-only one as well.
bool appliesTo(const WalkedEntry& entry, const Caller& caller, bool isOwner) {
    if (entry.sid == ownerRightsSid()) return isOwner;
    return std::any_of(caller.sids.begin(), caller.sids.end(), [&](const CallerSid& c) {
        return c.sid == entry.sid &&
               (c.use == SidUse::enabled || (c.use == SidUse::denyOnly && entry.effect == Effect::deny));
    });
}

} // namespace

Caller callerSids() {
    Token token = Token::caller(TOKEN_QUERY);
    TokenGroup user = token.userEntry();
    Caller out;
    // The user SID carries no SE_GROUP_ENABLED attribute: it is enabled unless made deny-only.
    out.sids.push_back({std::move(user.sid), user.denyOnly() ? SidUse::denyOnly : SidUse::enabled});
    for (TokenGroup& group : token.groups())
        out.sids.push_back({std::move(group.sid), useOf(group)});
    out.takeOwnership = token.holdsEnabled(SE_TAKE_OWNERSHIP_NAME);
    return out;
}

// The system walks the entries in order with the bits still wanted: an allow entry that applies
// to the caller takes its bits off, a deny entry that meets a bit still wanted refuses the whole
// request, and the request is granted once nothing is wanted. A mask is therefore granted exactly
// when each of its bits is granted before the walk or meets an allow entry before any deny entry,
// so one walk that settles every bit by the first entry covering it answers all thirteen rights.
//
// Tokens with restricting SIDs, for which the system runs a second walk over those SIDs alone,
// are out of scope: the program's callers never hold one.
DWORD effectiveRights(const Acl& dacl, const Sid& owner, const Caller& caller) {
    if (dacl.absent()) return kAllFileRights; // no DACL grants everyone everything
    const std::vector<Ace> aces = dacl.aces();
    const std::vector<WalkedEntry> entries = walkedEntries(aces);

    const bool isOwner = isOwnedBy(caller, owner);
    const bool ownerRightsEntry = std::any_of(entries.begin(), entries.end(),
                                              [](const WalkedEntry& e) { return e.sid == ownerRightsSid(); });

    DWORD granted = 0, denied = 0;
    if (isOwner && !ownerRightsEntry) granted |= kOwnerImplicit;
    if (caller.takeOwnership) granted |= WRITE_OWNER;
    for (const WalkedEntry& entry : entries) {
        if (!appliesTo(entry, caller, isOwner)) continue;
        if (LogManager::instance().reaches(0)) LogManager::instance().log(0, L"%s", aceDump(entry.ace));
        const DWORD open = foldGeneric(entry.ace.mask()) & ~(granted | denied);
        (entry.effect == Effect::allow ? granted : denied) |= open;
    }
    return rightsOf(granted);
}

} // namespace security
