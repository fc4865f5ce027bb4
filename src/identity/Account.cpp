#include "identity/Account.h"

#include "app/Exceptions.h"
#include "platform/Platform.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <vector>

namespace identity {
namespace {

// The account domain's name, read once per process.
const std::wstring& accountDomainName() {
    static std::mutex lock;
    static std::optional<std::wstring> cached;
    std::lock_guard<std::mutex> hold(lock);
    if (!cached) {
        std::vector<BYTE> sid;
        std::wstring name;
        if (DWORD error = platform::current().accountDomain(&sid, &name))
            raiseOsError(L"Unable to get domain name", error, {L"", "identity::accountDomainName", __LINE__});
        cached = name;
    }
    return *cached;
}

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
    std::vector<BYTE> domain;
    std::wstring name;
    DWORD rc = platform::current().accountDomain(&domain, &name);
    if (rc != ERROR_SUCCESS) throwRunTimeError(rc, L"Unable to get domain name");
    return security::Sid::withRid(security::Sid(domain.empty() ? nullptr : domain.data()),
                                  DOMAIN_USER_RID_ADMIN);
}

security::Sid resolveAccount(const std::wstring& name) {
    const std::wstring qualifiers[] = {
        accountDomainName(),
        security::administratorsGroup().lookup().domain,
        security::localSystem().lookup().domain,
    };
    for (const std::wstring& qualifier : qualifiers) {
        security::Sid sid;
        LookupResult result = lookupName(qualifier.empty() ? name : qualifier + L"\\" + name, &sid);
        if (result.error == ERROR_SUCCESS) return sid;
        if (result.enlarged) raiseRunTimeError(result.error, L"Unable to lookup SID for name %s", name);
    }
    raiseRunTimeError(ERROR_NONE_MAPPED, L"Unable to lookup SID for name %s", name);
}

} // namespace identity
