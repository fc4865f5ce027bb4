#include "identity/Account.h"

#include "app/Exceptions.h"
#include "platform/Platform.h"

#include <algorithm>
#include <functional>
#include <vector>

namespace identity {
namespace {

struct AccountDomain {
    std::vector<BYTE> sid;
    std::wstring name;
};

AccountDomain queryAccountDomain() {
    AccountDomain domain;
    if (DWORD error = platform::current().accountDomain(&domain.sid, &domain.name))
        throwRunTimeError(error, L"Unable to get domain name");
    return domain;
}

// The account domain, read once per process (a failed read is tried again on the next call).
const AccountDomain& accountDomain() {
    static const AccountDomain domain = queryAccountDomain();
    return domain;
}

const std::wstring& accountDomainName() { return accountDomain().name; }

struct LookupResult {
    DWORD error = ERROR_SUCCESS;
    bool enlarged = false; // the error came from the call with the buffers it asked for
};

// LookupAccountNameW with a 68-byte SID and a 256-character domain buffer, enlarged once when the
// call asks for more.
LookupResult lookupName(const std::wstring& qualified, security::Sid* out) {
    DWORD sidSize = 68, domainSize = 256;
    std::vector<BYTE> sid(sidSize);
    std::wstring domain(domainSize, L'\0');
    SID_NAME_USE use;
    platform::Platform& p = platform::current();
    DWORD error = p.lookupAccountName(qualified, sid.data(), &sidSize, domain.data(), &domainSize, &use);
    if (error == ERROR_INSUFFICIENT_BUFFER) {
        sid.resize(std::max<DWORD>(sidSize, 68));
        domain.resize(std::max<DWORD>(domainSize, 256));
        sidSize = static_cast<DWORD>(sid.size());
        domainSize = static_cast<DWORD>(domain.size());
        error = p.lookupAccountName(qualified, sid.data(), &sidSize, domain.data(), &domainSize, &use);
        if (error) return {error, true};
    }
    if (error) return {error, false};
    *out = security::Sid(sid.data());
    return {};
}

} // namespace

security::Sid builtinAdministrator() {
    AccountDomain domain = accountDomain();
    return security::Sid::withRid(security::Sid(domain.sid.empty() ? nullptr : domain.sid.data()),
                                  DOMAIN_USER_RID_ADMIN);
}

security::Sid resolveAccount(const std::wstring& name) {
    // Each qualifier is worked out only when the ones before it did not know the name.
    const std::function<std::wstring()> qualifiers[] = {
        [] { return accountDomainName(); },
        [] { return security::administratorsGroup().lookup().domain; },
        [] { return security::localSystem().lookup().domain; },
    };
    for (const auto& qualifier : qualifiers) {
        const std::wstring q = qualifier();
        security::Sid sid;
        LookupResult result = lookupName(q.empty() ? name : q + L"\\" + name, &sid);
        if (result.error == ERROR_SUCCESS) return sid;
        if (result.enlarged) raiseRunTimeError(result.error, L"Unable to lookup SID for name %s", name);
    }
    raiseRunTimeError(ERROR_NONE_MAPPED, L"Unable to lookup SID for name %s", name);
}

security::Sid lookupAccount(const std::wstring& name) {
    security::Sid sid;
    LookupResult result = lookupName(name, &sid);
    if (result.error) raiseRunTimeError(result.error, L"Unable to lookup SID for name %s", name);
    return sid;
}

} // namespace identity
