// An owned copy of a Windows security identifier (the value type every part passes SIDs as).
#pragma once
#include <string>
#include <vector>

#include <windows.h>

namespace security {

class Sid {
public:
    Sid() = default;
    // Copies the SID (null makes an empty Sid).
    explicit Sid(PSID sid);
    // A SID from its string form (S-1-5-32-544); raises the OS error when the text is not one.
    static Sid fromString(const std::wstring& text);
    // The SID of `domain` extended by one relative identifier.
    static Sid withRid(const Sid& domain, DWORD rid);

    bool empty() const { return bytes_.empty(); }
    PSID get() const { return empty() ? nullptr : const_cast<BYTE*>(bytes_.data()); }
    DWORD length() const { return static_cast<DWORD>(bytes_.size()); }
    std::wstring toString() const;

    friend bool operator==(const Sid& a, const Sid& b) { return a.bytes_ == b.bytes_; }

private:
    std::vector<BYTE> bytes_;
};

} // namespace security
