#include "app/Sid.h"

#include "app/Exceptions.h"
#include "platform/Handle.h"

#include <sddl.h>

namespace security {

Sid::Sid(PSID sid) {
    if (sid && IsValidSid(sid)) {
        auto* p = static_cast<BYTE*>(sid);
        bytes_.assign(p, p + GetLengthSid(sid));
    }
}

Sid Sid::fromString(const std::wstring& text) {
    PSID raw = nullptr;
    if (!ConvertStringSidToSidW(text.c_str(), &raw))
        raiseOsError(L"Unable to convert string to SID " + text, GetLastError(), {L"", "Sid::fromString", __LINE__});
    platform::LocalMemory owner(raw);
    return Sid(raw);
}

Sid Sid::withRid(const Sid& domain, DWORD rid) {
    if (domain.empty()) throwRunTimeError(ERROR_INVALID_SID, L"Unable to copy domain sid");
    Sid out = domain;
    out.bytes_.resize(out.bytes_.size() + sizeof(DWORD));
    UCHAR* authority = GetSidSubAuthorityCount(out.get());
    *GetSidSubAuthority(out.get(), *authority) = rid;
    ++*authority;
    return out;
}

std::wstring Sid::toString() const {
    if (empty()) return {};
    wchar_t* raw = nullptr;
    if (!ConvertSidToStringSidW(get(), &raw))
        raiseOsError(L"Unable to convert SID to string", GetLastError(), {L"", "Sid::toString", __LINE__});
    platform::LocalMemory owner(raw);
    return raw;
}

} // namespace security
