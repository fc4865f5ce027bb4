#include "identity/AccessCheck.h"

#include "app/Exceptions.h"
#include "platform/Platform.h"
#include "security/SecurityInfo.h"
#include "security/Token.h"

namespace identity {
namespace {

// Reverts an impersonation this check started, also when a failure passes.
class RevertScope {
public:
    ~RevertScope() {
        if (active) platform::current().revertToSelf();
    }
    bool active = false;
};

} // namespace

bool accessCheck(const security::Sid& owner, const security::Sid& group, const security::Acl& dacl,
                 DWORD desired) {
    platform::Platform& p = platform::current();
    RevertScope revert;
    security::Token token = security::Token::thread(TOKEN_QUERY | TOKEN_DUPLICATE, TRUE);
    if (!token.valid()) {
        security::Token process = security::Token::process(TOKEN_QUERY | TOKEN_DUPLICATE);
        if (DWORD error = p.impersonateLoggedOnUser(process.get()))
            raiseOsError(L"Unable to impersonate thread", error);
        revert.active = true;
        token = security::Token::thread(TOKEN_QUERY, TRUE);
        if (!token.valid()) raiseOsError(L"Unable to open thread token", ERROR_NO_TOKEN);
    }
    security::AbsoluteDescriptor descriptor(owner, group, dacl);
    GENERIC_MAPPING mapping{desired, desired, desired, desired};
    MapGenericMask(&desired, &mapping);
    PRIVILEGE_SET privileges{}; // the 20 bytes of one privilege
    DWORD privilegesSize = sizeof privileges;
    DWORD granted = 0;
    BOOL status = FALSE;
    if (DWORD error = p.accessCheck(descriptor.get(), token.get(), desired, &mapping, &privileges,
                                    &privilegesSize, &granted, &status))
        raiseOsError(L"Access check failed", error);
    return status != FALSE;
}

bool holdsWriteDac(const security::SecurityInfo& object) {
    return accessCheck(object.owner, object.group, object.dacl, WRITE_DAC);
}

} // namespace identity
