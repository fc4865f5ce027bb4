#include "security/DaclWrite.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "platform/Platform.h"
#include "security/SecurityHandle.h"
#include "security/SecurityInfo.h"
#include "security/Token.h"

namespace security {
namespace {

// Writes on a handle of the object itself: SetNamedSecurityInfoW would follow a junction or
// symbolic link at the name and rewrite whatever it leads to (and the system may pass the new
// entries on through that tree).
DWORD writeAsItself(const std::wstring& path, DWORD access, SECURITY_INFORMATION what, PSID owner, PACL dacl) {
    platform::FileHandle object;
    if (DWORD error = openAsItself(path, READ_CONTROL | access, &object)) return error;
    return platform::current().setSecurityInfo(object.get(), what, owner, nullptr, dacl);
}

void writeCleanDacl(const std::wstring& path, const Acl& cleaned, SECURITY_INFORMATION protection) {
    const SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION | protection;
    DWORD error = writeAsItself(path, WRITE_DAC, what, nullptr, cleaned.get());
    if (error == ERROR_ACCESS_DENIED) {
        takeOwnership(path);
        error = writeAsItself(path, WRITE_DAC, what, nullptr, cleaned.get());
    }
    if (error)
        raiseOsError(format(L"Unable to set the object (%s) security info", text::displayPath(path)), error);
}

} // namespace

void writeDaclProtected(const std::wstring& path, const Acl& dacl) {
    writeCleanDacl(path, dropUnresolvableAces(dacl), PROTECTED_DACL_SECURITY_INFORMATION);
}

void writeDaclInherited(const std::wstring& path, const Acl& dacl) {
    writeCleanDaclInherited(path, dropUnresolvableAces(dacl));
}

void writeCleanDaclInherited(const std::wstring& path, const Acl& cleaned) {
    writeCleanDacl(path, cleaned, UNPROTECTED_DACL_SECURITY_INFORMATION);
}

void takeOwnership(const std::wstring& path) {
    Token::caller(TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES).enableIfHeld(SE_TAKE_OWNERSHIP_NAME);
    // After the identity switch the owner must be the thread's user: Windows refuses any SID the
    // thread's token does not hold as owner (ERROR_INVALID_OWNER, 1307), the process's user too.
    Sid user = Token::caller(TOKEN_QUERY).user();
    if (DWORD error = writeAsItself(path, WRITE_OWNER, OWNER_SECURITY_INFORMATION, user.get(), nullptr))
        raiseOsError(format(L"Unable to set the object (%s) owner", text::displayPath(path)), error);
}

bool grantSelfAccess(const std::wstring& path, DWORD mask) {
    try {
        takeOwnership(path);
        // The thread's user after the identity switch: that is who asks again.
        addAllowedEntry(path, Token::caller(TOKEN_QUERY).user(), mask);
        return true;
    } catch (const RunTime::AccessDeniedException&) {
        return false;
    } catch (const VAccessDeniedException&) {
        return false;
    }
}

Acl dropUnresolvableAces(const Acl& dacl) {
    Acl out = Acl::copyOf(dacl.get());
    // Backwards, so that deleting keeps the indexes still to visit.
    for (DWORD i = out.count(); i-- > 0;)
        if (out.at(i).sid().isUnresolvable()) out.remove(i);
    return out;
}

void addAllowedEntry(const std::wstring& path, const Sid& sid, DWORD mask) {
    SecurityInfo current = readSecurity(path);
    if (current.dacl.absent()) return;
    Acl updated = Acl::emptyList();
    bool added = false;
    for (const Ace& ace : current.dacl.aces()) {
        bool explicitDeny = !(ace.flags() & INHERITED_ACE) && ace.isDeny();
        if (!added && !explicitDeny) {
            updated.append(Ace::allowed(mask, sid));
            added = true;
        }
        updated.append(ace);
    }
    if (!added) updated.append(Ace::allowed(mask, sid));
    if (current.protectedDacl)
        writeDaclProtected(path, updated);
    else
        writeDaclInherited(path, updated);
}

} // namespace security
