// An owned copy of a Windows security identifier (the value type every part passes SIDs as).
#pragma once
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

namespace security {

// What LookupAccountSidW tells about a SID.
struct AccountName {
    std::wstring name;
    std::wstring domain;
    SID_NAME_USE use = SidTypeUnknown;
    // "DOMAIN\name", or the bare name when the domain is empty.
    std::wstring qualified() const { return domain.empty() ? name : domain + L"\\" + name; }
};

class Sid {
public:
    Sid() = default;
    // Copies the SID (null makes an empty Sid); an invalid SID raises "Unable to copy SID".
    explicit Sid(PSID sid);
    // A SID from its string form (S-1-5-32-544); "Unable to convert a string to SID" otherwise.
    static Sid fromString(const std::wstring& text);
    // The SID of `domain` extended by one relative identifier.
    static Sid withRid(const Sid& domain, DWORD rid);

    bool empty() const { return bytes_.empty(); }
    PSID get() const { return empty() ? nullptr : const_cast<BYTE*>(bytes_.data()); }
    DWORD length() const { return static_cast<DWORD>(bytes_.size()); }
    std::wstring toString() const;

    // The account the SID names; "Unable to lookup name for SID" with the OS error otherwise.
    AccountName lookup() const;
    // Like lookup, but nothing when the SID maps to no account (1332); other failures raise.
    std::optional<AccountName> lookupIfMapped() const;
    // The qualified account name, or the string form when the SID does not resolve.
    std::wstring displayName() const;
    // True only when LookupAccountSidW, with name and domain buffers of 32 characters, answers
    // ERROR_NONE_MAPPED: the account was deleted. Any other failure counts as resolvable.
    bool isUnresolvable() const;

    friend bool operator==(const Sid& a, const Sid& b) { return a.bytes_ == b.bytes_; }

private:
    std::vector<BYTE> bytes_;
};

// Well-known SIDs used across the program.
const Sid& administratorsGroup(); // S-1-5-32-544
const Sid& localSystem();         // S-1-5-18

} // namespace security
