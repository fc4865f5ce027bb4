#include "app/Account.h"

#include "app/Exceptions.h"
#include "platform/Platform.h"

namespace account {

security::Sid builtinAdministrator() {
    std::vector<BYTE> domain;
    std::wstring name;
    DWORD rc = platform::current().accountDomain(&domain, &name);
    if (rc != ERROR_SUCCESS) throwRunTimeError(rc, L"Unable to get domain name");
    return security::Sid::withRid(security::Sid(domain.empty() ? nullptr : domain.data()), DOMAIN_USER_RID_ADMIN);
}

security::Sid resolveAccount(const std::wstring& name) {
    // Accounts other than the built-in Administrator are looked up by the account subsystem,
    // which this build does not have yet: every other name is unknown.
    raiseRunTimeError(ERROR_NONE_MAPPED, L"Unable to lookup SID for name %s", name);
}

} // namespace account
