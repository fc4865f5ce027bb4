#include "security/Ace.h"

#include "app/Exceptions.h"

#include <cstring>

namespace security {
namespace {

constexpr size_t kHeaderAndMask = sizeof(ACE_HEADER) + sizeof(DWORD);
constexpr size_t kObjectFlagsOffset = kHeaderAndMask; // the object entries' Flags field
constexpr size_t kObjectGuidsOffset = kObjectFlagsOffset + sizeof(DWORD);

bool isObject(BYTE type) {
    return type >= ACCESS_ALLOWED_OBJECT_ACE_TYPE && type <= SYSTEM_ALARM_OBJECT_ACE_TYPE;
}
bool isSupported(BYTE type) {
    return type <= SYSTEM_ALARM_ACE_TYPE || isObject(type);
}

[[noreturn]] void malformed(ErrorContext where = {}) {
    raisePlainError(L"Malformed ACE", std::move(where));
}

} // namespace

Ace::Ace(const void* raw) {
    const auto* h = static_cast<const ACE_HEADER*>(raw);
    if (h->AceSize < kHeaderAndMask) malformed();
    bytes_.resize((h->AceSize + 3) / 4);
    std::memcpy(bytes_.data(), raw, h->AceSize);
}

Ace Ace::make(BYTE type, BYTE flags, DWORD mask, const Sid& sid, std::optional<GUID> objectType,
              std::optional<GUID> inheritedObjectType) {
    // The size is known before anything is written: the entry is allocated once, in its DWORD
    // storage, and filled field by field (growing a byte vector piecewise made GCC's -O3 see
    // writes past a buffer it could not size).
    bool object = isObject(type);
    std::optional<GUID> guids[] = {object ? objectType : std::nullopt,
                                   object ? inheritedObjectType : std::nullopt};
    size_t size = kHeaderAndMask + (object ? sizeof(DWORD) : 0) + sid.length();
    for (const auto& guid : guids)
        if (guid) size += sizeof(GUID);
    size = (size + 3) & ~size_t(3);
    if (size > MAXWORD) raisePlainError(L"ACE too large");

    Ace ace;
    ace.bytes_.assign(size / sizeof(DWORD), 0);
    auto* out = reinterpret_cast<BYTE*>(ace.bytes_.data());
    size_t at = 0;
    auto put = [&](const void* field, size_t length) {
        if (length) std::memcpy(out + at, field, length);
        at += length;
    };
    ACE_HEADER header{type, flags, static_cast<WORD>(size)};
    put(&header, sizeof header);
    put(&mask, sizeof mask);
    if (object) {
        DWORD objectFlags =
            (guids[0] ? ACE_OBJECT_TYPE_PRESENT : 0) | (guids[1] ? ACE_INHERITED_OBJECT_TYPE_PRESENT : 0);
        put(&objectFlags, sizeof objectFlags);
        for (const auto& guid : guids)
            if (guid) put(&*guid, sizeof(GUID));
    }
    put(sid.get(), sid.length());
    return ace;
}

Ace Ace::allowed(DWORD mask, const Sid& sid, BYTE flags) {
    return make(ACCESS_ALLOWED_ACE_TYPE, flags, mask, sid);
}
Ace Ace::denied(DWORD mask, const Sid& sid, BYTE flags) {
    return make(ACCESS_DENIED_ACE_TYPE, flags, mask, sid);
}

Ace Ace::with(BYTE flags, DWORD mask) const {
    Ace changed = *this;
    auto* raw = reinterpret_cast<BYTE*>(changed.bytes_.data());
    reinterpret_cast<ACE_HEADER*>(raw)->AceFlags = flags;
    std::memcpy(raw + sizeof(ACE_HEADER), &mask, sizeof mask);
    return changed;
}

DWORD Ace::mask() const {
    DWORD mask;
    std::memcpy(&mask, bytes() + sizeof(ACE_HEADER), sizeof mask);
    return mask;
}

bool Ace::isObjectType() const {
    return isObject(type());
}
bool Ace::isDeny() const {
    return type() == ACCESS_DENIED_ACE_TYPE || type() == ACCESS_DENIED_OBJECT_ACE_TYPE;
}

size_t Ace::sidOffset() const {
    if (!isSupported(type())) raisePlainError(format(L"Unsupported ACE type (%d)", type()));
    if (!isObject(type())) return kHeaderAndMask;
    if (size() < kObjectGuidsOffset) malformed();
    DWORD objectFlags;
    std::memcpy(&objectFlags, bytes() + kObjectFlagsOffset, sizeof objectFlags);
    size_t offset = kObjectGuidsOffset;
    if (objectFlags & ACE_OBJECT_TYPE_PRESENT) offset += sizeof(GUID);
    if (objectFlags & ACE_INHERITED_OBJECT_TYPE_PRESENT) offset += sizeof(GUID);
    return offset;
}

Sid Ace::sid() const {
    size_t offset = sidOffset();
    // The SID's fixed part, then its sub-authorities, must lie inside the entry.
    if (offset + 8 > size()) malformed();
    PSID sid = const_cast<BYTE*>(bytes() + offset);
    if (offset + GetSidLengthRequired(*GetSidSubAuthorityCount(sid)) > size()) malformed();
    return Sid(sid);
}

std::optional<GUID> Ace::objectType() const {
    if (!isObjectType()) raisePlainError(L"Not X_X_OBJECT_ACE_TYPE");
    sidOffset(); // checks the entry holds its flags and GUIDs
    DWORD objectFlags;
    std::memcpy(&objectFlags, bytes() + kObjectFlagsOffset, sizeof objectFlags);
    if (!(objectFlags & ACE_OBJECT_TYPE_PRESENT)) return std::nullopt;
    if (kObjectGuidsOffset + sizeof(GUID) > size()) malformed();
    GUID guid;
    std::memcpy(&guid, bytes() + kObjectGuidsOffset, sizeof guid);
    return guid;
}

std::optional<GUID> Ace::inheritedObjectType() const {
    if (!isObjectType()) raisePlainError(L"Not object type ACE");
    DWORD objectFlags;
    if (size() < kObjectGuidsOffset) malformed();
    std::memcpy(&objectFlags, bytes() + kObjectFlagsOffset, sizeof objectFlags);
    if (!(objectFlags & ACE_INHERITED_OBJECT_TYPE_PRESENT)) return std::nullopt;
    size_t offset = kObjectGuidsOffset + ((objectFlags & ACE_OBJECT_TYPE_PRESENT) ? sizeof(GUID) : 0);
    if (offset + sizeof(GUID) > size()) malformed();
    GUID guid;
    std::memcpy(&guid, bytes() + offset, sizeof guid);
    return guid;
}

} // namespace security
