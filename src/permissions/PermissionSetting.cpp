#include "permissions/PermissionSetting.h"

#include "app/DebugFlag.h"
#include "app/Exceptions.h"
#include "app/Log.h"
#include "identity/AccessCheck.h"
#include "identity/Account.h"
#include "paths/NormalPath.h"
#include "permissions/AdvancedRights.h"
#include "permissions/CommonRights.h"
#include "permissions/PermissionListing.h"
#include "platform/Platform.h"
#include "security/AclDump.h"
#include "security/DaclWrite.h"
#include "security/EffectiveRights.h"
#include "security/FileRights.h"
#include "security/HandDown.h"
#include "security/Inheritance.h"
#include "security/SecurityInfo.h"

#include <algorithm>

namespace permissions {
namespace {

using security::Ace;
using security::Acl;
using security::Sid;

constexpr BYTE kEverythingBelow = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

DWORD simpleMask(DWORD set) {
    DWORD mask = 0;
    if (set & kSimpleWrite) mask |= 0xD0156;
    if (set & kSimpleRead) mask |= 0x20089;
    if (set & kSimpleExecute) mask |= 0x20;
    return mask;
}

BYTE flagsOf(DWORD applyOnto) {
    for (const security::ApplyOnto& row : security::kApplyOntoTable)
        if (row.applyOnto == applyOnto) return row.flags;
    return 0;
}

// The parent's passed-on entries when they are all in `acl`: `acl` without them. Nothing when
// one is missing (logged) or there is no parent.
std::optional<Acl> reducedByParent(const std::wstring& path, const Acl& acl, bool file, bool debug) {
    const paths::NormalPath parent = paths::NormalPath::fromNormal(path).parent();
    DWORD attributes = 0;
    if (parent.empty() || platform::current().getFileAttributes(parent, &attributes) != 0)
        return std::nullopt;
    security::SecurityInfo info = security::readSecurity(parent);
    Acl inherited = security::passedOn(info.dacl, file);
    if (file) inherited = security::normalisedForFile(inherited);
    if (debug) LogManager::instance().log(0, L"Parent ACL dump:\r\n%s\r\n", security::aclDump(inherited));
    std::vector<DWORD> matched;
    for (const Ace& wanted : inherited.aces()) {
        std::vector<DWORD> found = acl.findMatching(wanted);
        if (found.empty()) {
            LogManager::instance().log(
                0, L"%s: Unable to find ace\r\n Root ACL dump: %s\r\n ACL dump: %s\r\n",
                security::aceDump(wanted), security::aclDump(inherited), security::aclDump(acl));
            return std::nullopt;
        }
        matched.insert(matched.end(), found.begin(), found.end());
    }
    std::sort(matched.begin(), matched.end());
    matched.erase(std::unique(matched.begin(), matched.end()), matched.end());
    Acl rest = Acl::emptyList();
    rest.appendAll(acl);
    for (auto it = matched.rbegin(); it != matched.rend(); ++it)
        rest.remove(*it);
    return rest;
}

} // namespace

Sid sidOfAccount(const AccountKey& account) {
    if (account.domain.empty() && account.name.starts_with(L"S-1-")) return Sid::fromString(account.name);
    return identity::lookupAccount(account.qualified());
}

Acl simpleAcl(const std::vector<SimpleEntry>& entries) {
    Acl acl = Acl::emptyList();
    for (const SimpleEntry& entry : entries) {
        const Sid sid = sidOfAccount(entry.account);
        if (entry.deny) acl.append(Ace::denied(simpleMask(entry.deny), sid, kEverythingBelow));
        if (entry.allow)
            acl.append(Ace::allowed(simpleMask(entry.allow) | SYNCHRONIZE, sid, kEverythingBelow));
    }
    return acl;
}

Acl advancedAcl(const std::vector<AdvancedEntry>& entries, bool file) {
    // Resolve everything before building: an unknown account fails the whole document.
    std::vector<std::pair<const AdvancedEntry*, Sid>> resolved;
    for (const AdvancedEntry& e : entries)
        resolved.emplace_back(&e, sidOfAccount(e.account));
    std::stable_partition(resolved.begin(), resolved.end(), [](const auto& r) { return !r.first->allow; });
    Acl acl = Acl::emptyList();
    for (const auto& [e, sid] : resolved) {
        DWORD mask = windowsMaskOf(e->rights);
        if (file && e->rights == kFullFileRights) mask |= FILE_DELETE_CHILD;
        if (e->allow && mask) mask |= SYNCHRONIZE;
        const BYTE flags = file ? 0 : flagsOf(e->applyOnto);
        acl.append(e->allow ? Ace::allowed(mask, sid, flags) : Ace::denied(mask, sid, flags));
    }
    return acl;
}

std::vector<AdvancedEntry> entriesFromCommon(const std::vector<CommonEntry>& requested,
                                             const std::vector<AdvancedEntry>& listed, bool file) {
    std::vector<AdvancedEntry> result;
    for (const AdvancedEntry& e : listed)
        if (e.inherited()) result.push_back(e);
    std::vector<AdvancedEntry> explicitListed;
    for (const AdvancedEntry& e : listed)
        if (!e.inherited()) explicitListed.push_back(e);
    // The view the caller was shown (--list-common folds every entry, inherited ones included):
    // an account whose common sets are as listed is unchanged.
    const std::vector<CommonEntry> current = foldToCommon(listed, file);
    for (const CommonEntry& wanted : requested) {
        auto same = std::find_if(current.begin(), current.end(), [&](const CommonEntry& c) {
            return c.account == wanted.account && c.allow == wanted.allow && c.deny == wanted.deny;
        });
        if (same != current.end()) {
            for (const AdvancedEntry& e : explicitListed)
                if (e.account == wanted.account) result.push_back(e);
        } else {
            for (AdvancedEntry& e : advancedFromCommon(wanted, file))
                result.push_back(std::move(e));
        }
    }
    return result;
}

void smartSetRights(const std::wstring& path, const Acl& acl, bool file) {
    if (acl.count() == 0) return security::writeDaclInherited(path, acl);
    const bool debug = debugflag::query();
    Acl working = file ? security::normalisedForFile(acl) : Acl::emptyList();
    if (!file) working.appendAll(acl);
    if (debug) LogManager::instance().log(0, L"Orig ACL dump:\r\n%s\r\n", security::aclDump(working));
    std::optional<Acl> reduced;
    try {
        reduced = reducedByParent(path, working, file, debug);
    } catch (...) {
        LogManager::instance().warn(L"Permissions::smartSetRights: Unable to make DACL inherited to parent folder: " +
                                    messageOf(std::current_exception()));
    }
    if (debug)
        LogManager::instance().log(0, L"Result ACL dump:\r\n%s\r\n",
                                   security::aclDump(reduced ? *reduced : working));
    if (reduced)
        security::writeDaclInherited(path, *reduced);
    else
        security::writeDaclProtected(path, working);
}

void setPermissions(const std::wstring& object, const xml::XmlElement& root, const SettingRequest& request,
                    const std::function<void()>& beforeFirstWrite) {
    const bool file = !isFolder(object);
    // Everything is read, checked and resolved before the first write.
    Acl acl;
    bool inherit = false;
    if (request.form == SettingForm::Simple) {
        acl = simpleAcl(readSimpleAcl(root));
    } else {
        std::vector<AdvancedEntry> entries = request.form == SettingForm::Advanced
                                                 ? readAdvancedAcl(root)
                                                 : entriesFromCommon(readCommonAcl(root), readAdvancedAcl(root), file);
        if (request.inheritFromParent) {
            // Inherited entries stay with inheritance; the explicit ones are written beside them.
            std::erase_if(entries, [](const AdvancedEntry& e) { return e.inherited(); });
            inherit = true;
        } else {
            for (AdvancedEntry& e : entries) e.inheritedFrom.clear();
        }
        acl = advancedAcl(entries, file);
    }
    beforeFirstWrite();
    if (inherit) security::writeDaclInherited(object, acl);
    else smartSetRights(object, acl, file);
    if (request.replaceOnChildren && !file)
        security::handDown(object, security::markedInheritedLists, identity::holdsWriteDac);
}

bool mayChangePermissions(const std::wstring& path) {
    security::SecurityInfo info = security::readSecurity(path);
    return (security::effectiveRights(info.dacl, info.owner, security::callerSids()) & 0x800) != 0;
}

} // namespace permissions
