// An owned copy of one access-control entry: type, flags, access mask, SID and, for the object
// types, the two optional GUIDs. The bytes are checked when the entry is taken apart, never
// trusted: an entry is foreign input as soon as it comes from a file's DACL.
#pragma once
#include "security/Sid.h"

#include <optional>
#include <vector>

#include <windows.h>

namespace security {

class Ace {
public:
    // Copies the entry at `raw` (its header's AceSize bytes).
    explicit Ace(const void* raw);
    static Ace allowed(DWORD mask, const Sid& sid, BYTE flags = 0);
    static Ace denied(DWORD mask, const Sid& sid, BYTE flags = 0);
    // An entry of any type from its parts; object types take the GUIDs that are given.
    static Ace make(BYTE type, BYTE flags, DWORD mask, const Sid& sid,
                    std::optional<GUID> objectType = std::nullopt,
                    std::optional<GUID> inheritedObjectType = std::nullopt);

    // The same entry with other flags and another mask; everything else (SID, object types, any
    // data of a type this program does not know) copied as it is.
    Ace with(BYTE flags, DWORD mask) const;

    BYTE type() const { return header()->AceType; }
    BYTE flags() const { return header()->AceFlags; }
    DWORD mask() const;
    // "Unsupported ACE type (%d)" for types other than 0-3 and 5-8.
    Sid sid() const;
    bool isObjectType() const;
    // Types 1 and 6.
    bool isDeny() const;
    // The GUIDs an object entry marks present; other types raise.
    std::optional<GUID> objectType() const;
    std::optional<GUID> inheritedObjectType() const;

    const void* data() const { return bytes_.data(); }
    WORD size() const { return header()->AceSize; }

    friend bool operator==(const Ace& a, const Ace& b) { return a.bytes_ == b.bytes_; }

private:
    Ace() = default;
    const ACE_HEADER* header() const { return reinterpret_cast<const ACE_HEADER*>(bytes_.data()); }
    const BYTE* bytes() const { return reinterpret_cast<const BYTE*>(bytes_.data()); }
    // The offset of the SID inside the entry.
    size_t sidOffset() const;

    std::vector<DWORD> bytes_; // DWORD storage keeps the entry aligned for the API
};

} // namespace security
