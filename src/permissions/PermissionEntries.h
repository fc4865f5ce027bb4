// The two in-memory forms behind the permission document: one advanced entry per access entry,
// one common entry per account.
#pragma once
#include <string>

#include <windows.h>

namespace permissions {

struct AccountKey {
    std::wstring domain;
    std::wstring name;
    std::wstring qualified() const { return domain.empty() ? name : domain + L"\\" + name; }
    friend bool operator==(const AccountKey&, const AccountKey&) = default;
};

struct AdvancedEntry {
    AccountKey account;
    std::wstring inheritedFrom; // empty for an explicit entry
    DWORD rights = 0;           // AdvancedRights bits
    bool allow = true;
    DWORD applyOnto = 0; // FileRights apply-onto bits; folders only
    bool inherited() const { return !inheritedFrom.empty(); }
    friend bool operator==(const AdvancedEntry&, const AdvancedEntry&) = default;
};

struct CommonEntry {
    AccountKey account;
    DWORD allow = 0; // CommonRights bits
    DWORD deny = 0;
    friend bool operator==(const CommonEntry&, const CommonEntry&) = default;
};

} // namespace permissions
