#include "db/ServerVersion.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace db {
namespace {

// The numeric components up to the first that does not start with a digit.
std::vector<uint64_t> components(std::wstring_view text) {
    std::vector<uint64_t> parts;
    size_t i = 0;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
        uint64_t value = 0;
        while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
            if (value < UINT32_MAX) value = value * 10 + static_cast<uint64_t>(text[i] - L'0');
            ++i;
        }
        parts.push_back(value);
        if (i >= text.size() || text[i] != L'.') break;
        ++i;
    }
    return parts;
}

} // namespace

bool versionAtLeast(std::wstring_view version, std::wstring_view minimum) {
    std::vector<uint64_t> a = components(version), b = components(minimum);
    size_t count = std::max(a.size(), b.size());
    for (size_t i = 0; i < count; ++i) {
        uint64_t x = i < a.size() ? a[i] : 0, y = i < b.size() ? b[i] : 0;
        if (x != y) return x > y;
    }
    return true;
}

} // namespace db
