// Where each entry of a path's DACL is inherited from, as the panel's management service
// reports it: the generation gap and the ancestor's name per entry.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

namespace RunTime {

struct InheritanceEntry {
    int32_t generationGap;
    std::wstring ancestor;
};

class AclInheritanceSource {
public:
    // {6A1F2D3E-5B7C-4E8D-9F10-A2B3C4D5E6F7}: path → count, then (gap, ancestor) per entry.
    static constexpr GUID kOperation = {
        0x6A1F2D3E, 0x5B7C, 0x4E8D, {0x9F, 0x10, 0xA2, 0xB3, 0xC4, 0xD5, 0xE6, 0xF7}};

    // One entry per ACE of the DACL, in order; nothing when the service's answer does not hold
    // exactly `aceCount` entries (every entry then counts as explicit).
    std::optional<std::vector<InheritanceEntry>> get(const std::wstring& path, DWORD aceCount);

    // The answer's entries under the same rule; a malformed answer raises the serializer's failure.
    static std::optional<std::vector<InheritanceEntry>> decode(std::string_view answer, DWORD aceCount);
    // The service's answer for the entries.
    static std::string encode(const std::vector<InheritanceEntry>& entries);
};

} // namespace RunTime
