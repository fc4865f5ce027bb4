#include "EntryPath.h"

#include "paths/ReservedNames.h"

namespace archivers {

bool acceptableName(const std::wstring& component) {
    if (component.empty() || component == L"..") return false;
    if (component.back() == L'.' || component.back() == L' ') return false;
    for (wchar_t c : component)
        if (c < 0x20 || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'?' || c == L'*' ||
            c == L':' || c == L'/' || c == L'\\')
            return false;
    return !paths::isReservedDeviceName(component, paths::ReservedNames::Extraction);
}

std::optional<std::wstring> relativeEntryPath(const std::wstring& name) {
    if (name.empty() || name.front() == L'/' || name.front() == L'\\') return std::nullopt;
    if (name.find(L':') != std::wstring::npos) return std::nullopt;
    std::wstring result;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of(L"/\\", start);
        if (end == std::wstring::npos) end = name.size();
        std::wstring component = name.substr(start, end - start);
        start = end + 1;
        if (component.empty() || component == L".") continue;
        if (!acceptableName(component)) return std::nullopt;
        if (!result.empty()) result += L'\\';
        result += component;
    }
    return result;
}

std::wstring leafOf(const std::wstring& relative) {
    size_t slash = relative.rfind(L'\\');
    return slash == std::wstring::npos ? relative : relative.substr(slash + 1);
}

} // namespace archivers
