#include "paths/PathSyntax.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "paths/NormalPath.h"

#include <algorithm>
#include <vector>

namespace paths {

void checkReservedNames(const std::wstring& base, const std::wstring& input) {
    static const wchar_t* const kReserved[] = {L"CON",  L"PRN",  L"AUX",  L"CLOCK$", L"NUL",  L"COM1",
                                               L"COM2", L"COM3", L"COM4", L"COM5",   L"COM6", L"COM7",
                                               L"COM8", L"COM9", L"LPT1", L"LPT2",   L"LPT3", L"LPT4",
                                               L"LPT5", L"LPT6", L"LPT7", L"LPT8",   L"LPT9"};
    std::wstring path = normalizePath(base, input);
    size_t start = path.starts_with(kLongPrefix) ? kLongPrefix.size() : 0;
    for (size_t i = start; i <= path.size(); ++i) {
        if (i != path.size() && path[i] != L'\\') continue;
        // The device name is what stands before an extension or a stream name; the system also
        // ignores spaces after it ("nul .txt" is the device as well).
        std::wstring name = path.substr(start, i - start);
        name.resize(std::min(name.find_first_of(L".:"), name.size()));
        while (!name.empty() && name.back() == L' ') name.pop_back();
        start = i + 1;
        if (name.size() < 3 || name.size() > 6) continue;
        for (const wchar_t* reserved : kReserved)
            if (text::equalNoCase(name, reserved))
                raiseInvalidPath(text::displayPath(path) +
                                 L": contains reserved device names that cannot be used as the name of a file.");
    }
}

bool hasStreamComponent(const std::wstring& normalized) {
    std::vector<std::wstring> parts = componentsOf(normalized);
    for (size_t i = 0; i < parts.size(); ++i)
        if (parts[i].find(L':') != std::wstring::npos && !(i == 0 && isDriveComponent(parts[i]))) return true;
    return false;
}

bool hasDotComponents(const std::wstring& normalized) {
    if (!normalized.starts_with(L"\\\\")) return false;
    std::vector<std::wstring> parts = componentsOf(normalized);
    return std::any_of(parts.begin(), parts.end(), [](const std::wstring& c) { return c == L"." || c == L".."; });
}

bool hasWildcards(const std::wstring& normalized) {
    // The "?" of the "\\?\" prefix is the prefix, not a pattern.
    return normalized.find_first_of(kWildcards, componentStart(normalized)) != std::wstring::npos;
}

bool isAbsoluteFolderPath(const std::wstring& value) {
    if (value.find(L'\0') != std::wstring::npos) return false; // never cut at it: the whole value is suspect
    bool drivePath = value.size() >= 2 && isDriveComponent(std::wstring_view(value).substr(0, 2)) &&
                     (value.size() == 2 || isSeparator(value[2]));
    if (!drivePath && !value.starts_with(L"\\\\")) return false;
    std::wstring normalized;
    try {
        normalized = normalizePath(L"", value);
    } catch (const std::exception&) {
        return false; // ".." above the drive
    }
    if (hasDotComponents(normalized) || hasStreamComponent(normalized) || hasWildcards(normalized)) return false;
    std::vector<std::wstring> parts = componentsOf(normalized);
    size_t shareAt = 0; // index of the server component of a UNC form
    if (componentStart(normalized) == kLongPrefix.size()) {
        if (parts.empty()) return false;
        if (isDriveComponent(parts[0])) return true;
        if (!text::equalNoCase(parts[0], L"UNC")) return false;
        shareAt = 1;
    }
    return parts.size() >= shareAt + 2 && !parts[shareAt].empty() && !parts[shareAt + 1].empty();
}

std::wstring canonicalPath(const std::wstring& path) {
    std::wstring p = path;
    std::replace(p.begin(), p.end(), L'/', L'\\');
    std::wstring lead;
    if (p.starts_with(kLongPrefix) || p.starts_with(L"\\\\.\\"))
        lead = p.substr(0, kLongPrefix.size());
    else if (p.starts_with(L"\\\\"))
        lead = L"\\\\"; // a UNC path keeps both of its leading separators
    else if (p.starts_with(L"\\"))
        lead = L"\\";
    std::vector<std::wstring> kept;
    size_t start = lead.size();
    for (size_t i = start; i <= p.size(); ++i) {
        if (i != p.size() && p[i] != L'\\') continue;
        std::wstring part = p.substr(start, i - start);
        start = i + 1;
        if (part.empty() || part == L".") continue;
        if (part == L".." && !kept.empty() && kept.back() != L"..")
            kept.pop_back();
        else
            kept.push_back(part);
    }
    std::wstring result = lead;
    for (size_t i = 0; i < kept.size(); ++i) result += (i ? L"\\" : L"") + kept[i];
    if (!kept.empty() && !p.empty() && p.back() == L'\\') result += L'\\';
    return result;
}

} // namespace paths
