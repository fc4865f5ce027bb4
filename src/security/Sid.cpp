#include "security/Sid.h"

#include "app/Exceptions.h"
#include "platform/Handle.h"
#include "platform/Platform.h"

#include <sddl.h>

namespace security {

Sid::Sid(PSID sid) {
    if (sid == nullptr) return;
    if (!IsValidSid(sid)) raiseOsError(L"Unable to copy SID", ERROR_INVALID_SID);
    auto* p = static_cast<BYTE*>(sid);
    bytes_.assign(p, p + GetLengthSid(sid));
}

Sid Sid::fromString(const std::wstring& text) {
    PSID raw = nullptr;
    if (!ConvertStringSidToSidW(text.c_str(), &raw))
        raiseOsError(L"Unable to convert a string to SID", GetLastError());
    platform::LocalMemory owner(raw);
    return Sid(raw);
}

Sid Sid::withRid(const Sid& domain, DWORD rid) {
    if (domain.empty()) throwRunTimeError(ERROR_INVALID_SID, L"Unable to copy domain sid");
    Sid out = domain;
    out.bytes_.resize(out.bytes_.size() + sizeof(DWORD));
    UCHAR* count = GetSidSubAuthorityCount(out.get());
    *GetSidSubAuthority(out.get(), *count) = rid;
    ++*count;
    return out;
}

std::wstring Sid::toString() const {
    if (empty()) return {};
    wchar_t* raw = nullptr;
    if (!ConvertSidToStringSidW(get(), &raw))
        raiseOsError(L"Unable to convert a SID to it's string form", GetLastError());
    platform::LocalMemory owner(raw);
    return raw;
}

namespace {

// Size-then-fill LookupAccountSidW; the error of the call that decided.
DWORD lookupSid(const Sid& sid, AccountName* out) {
    platform::Platform& p = platform::current();
    DWORD nameSize = 0, domainSize = 0;
    DWORD error = p.lookupAccountSid(sid.get(), nullptr, &nameSize, nullptr, &domainSize, &out->use);
    if (error != ERROR_INSUFFICIENT_BUFFER) return error == ERROR_SUCCESS ? ERROR_INVALID_SID : error;
    std::wstring name(nameSize, L'\0'), domain(domainSize, L'\0');
    error = p.lookupAccountSid(sid.get(), name.data(), &nameSize, domain.data(), &domainSize, &out->use);
    if (error) return error;
    out->name.assign(name.c_str());
    out->domain.assign(domain.c_str());
    return ERROR_SUCCESS;
}

} // namespace

std::optional<AccountName> Sid::lookupIfMapped() const {
    AccountName out;
    DWORD error = empty() ? ERROR_INVALID_SID : lookupSid(*this, &out);
    if (error == ERROR_NONE_MAPPED) return std::nullopt;
    if (error) raiseOsError(L"Unable to lookup name for SID", error);
    return out;
}

AccountName Sid::lookup() const {
    std::optional<AccountName> name = lookupIfMapped();
    if (!name) raiseOsError(L"Unable to lookup name for SID", ERROR_NONE_MAPPED);
    return *name;
}

std::wstring Sid::displayName() const {
    AccountName out;
    if (!empty() && lookupSid(*this, &out) == ERROR_SUCCESS) return out.qualified();
    return toString();
}

bool Sid::isUnresolvable() const {
    wchar_t name[32], domain[32];
    DWORD nameSize = 32, domainSize = 32;
    SID_NAME_USE use;
    return platform::current().lookupAccountSid(get(), name, &nameSize, domain, &domainSize, &use) ==
           ERROR_NONE_MAPPED;
}

const Sid& administratorsGroup() {
    static const Sid sid = Sid::fromString(L"S-1-5-32-544");
    return sid;
}

const Sid& localSystem() {
    static const Sid sid = Sid::fromString(L"S-1-5-18");
    return sid;
}

} // namespace security
