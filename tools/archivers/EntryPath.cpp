#include "EntryPath.h"

#include <cwctype>
#include <vector>

namespace archivers {
namespace {

bool isReservedDeviceName(std::wstring component) {
    // "nul.txt" and "nul .txt" open the device just as "nul" does.
    size_t dot = component.find(L'.');
    if (dot != std::wstring::npos) component.resize(dot);
    while (!component.empty() && component.back() == L' ')
        component.pop_back();
    for (wchar_t& c : component)
        c = static_cast<wchar_t>(std::towupper(c));
    static const wchar_t* const plain[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* name : plain)
        if (component == name) return true;
    if (component.size() == 4 &&
        (component.compare(0, 3, L"COM") == 0 || component.compare(0, 3, L"LPT") == 0))
        return component[3] >= L'1' && component[3] <= L'9';
    return false;
}

bool acceptableComponent(const std::wstring& component) {
    if (component == L"..") return false;
    if (component.back() == L'.' || component.back() == L' ') return false;
    for (wchar_t c : component)
        if (c < 0x20 || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'?' || c == L'*' ||
            c == L':')
            return false;
    return !isReservedDeviceName(component);
}

} // namespace

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
        if (!acceptableComponent(component)) return std::nullopt;
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
