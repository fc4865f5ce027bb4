#include "paths/LongPath.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "platform/Platform.h"
#include "platform/QueryString.h"

#include <algorithm>

namespace paths {
namespace {

// Rounds of "list the ancestors, ask again" when the long-path query keeps meeting access denied.
constexpr int kAccessDeniedRounds = 4;


bool isExistingDirectory(const std::wstring& path) {
    DWORD attributes = 0;
    return platform::current().getFileAttributes(path, &attributes) == ERROR_SUCCESS &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Where the components that name directory entries begin: after the drive of "\\?\C:\", after
// the share of "\\server\share\" and "\\?\UNC\server\share\"; npos for any other form.
size_t entriesStart(const std::wstring& path) {
    size_t start = componentStart(path);
    if (start == 0) return std::wstring::npos;
    size_t skip = 2; // server and share
    if (start == kLongPrefix.size()) {
        std::wstring first = path.substr(start, path.find(L'\\', start) - start);
        if (isDriveComponent(first))
            skip = 1;
        else if (text::equalNoCase(first, L"UNC"))
            skip = 3;
        else
            return std::wstring::npos;
    }
    size_t at = start;
    for (size_t i = 0; i < skip; ++i) {
        at = path.find(L'\\', at);
        if (at == std::wstring::npos) return std::wstring::npos;
        ++at;
    }
    return at;
}

// The path with every existing component replaced by its name as the directory lists it.
// GetLongPathNameW cannot be relied on alone: Wine answers a "\\?\" path with the path itself,
// short (8.3) names included, while opening the path still resolves them, so a short name of the
// denied root would compare as another folder. Looking each component up by itself gives the
// long name on every system. Components that cannot be looked up stay as they are: they name
// nothing that exists (a missing tail), or hold wildcards, which no file name holds.
std::wstring expandComponents(const std::wstring& path) {
    size_t at = entriesStart(path);
    if (at == std::wstring::npos || at >= path.size()) return path;
    platform::Platform& p = platform::current();
    std::wstring result = path.substr(0, at);
    while (at < path.size()) {
        size_t end = std::min(path.find(L'\\', at), path.size());
        std::wstring part = path.substr(at, end - at);
        bool lookUp = !part.empty() && part != L"." && part != L".." &&
                      part.find_first_of(kWildcards) == std::wstring::npos;
        WIN32_FIND_DATAW data;
        platform::FindScope find;
        if (!lookUp || p.findFirstFile(result + part, &data, find.receive()) != ERROR_SUCCESS) {
            result += path.substr(at); // nothing below a missing component exists either
            break;
        }
        result += data.cFileName;
        if (end < path.size()) result += L'\\';
        at = end + 1;
    }
    return result;
}

struct ErrorModeScope {
    UINT old = SetErrorMode(SEM_FAILCRITICALERRORS);
    ~ErrorModeScope() { SetErrorMode(old); }
};

} // namespace

NormalPath LongAncestor::whole() const {
    return NormalPath::fromNormal(tail.empty() ? path : withTrailingBackslash(path) + tail);
}

LongAncestor longAncestor(const std::wstring& base, const std::wstring& input) {
    std::wstring path = normalizePath(base, input);
    std::wstring tail;
    // Only the console names stay relative: they name no place in the file system.
    if (!path.starts_with(L"\\\\")) return {path, tail};
    // Cuts the last component off `path` and puts it in front of the tail; false when none is left.
    auto climb = [&]() {
        NormalPath current = NormalPath::fromNormal(path);
        NormalPath parent = current.parent();
        if (parent.empty()) return false;
        tail = current.name() + (tail.empty() ? L"" : L"\\" + tail);
        path = parent.str();
        return true;
    };
    auto asQueried = [](const std::wstring& p) {
        return isExistingDirectory(p) && p.back() != L'\\' ? p + L'\\' : p;
    };
    if (isVolumeRoot(path)) return {withTrailingBackslash(path), tail};
    path = asQueried(path);
    platform::Platform& p = platform::current();
    int deniedRounds = 0;
    for (;;) {
        std::wstring longPath;
        bool sizeQuery = true;
        DWORD error = platform::queryString(
            [&](wchar_t* buffer, DWORD size, DWORD* length) { return p.getLongPathName(path, buffer, size, length); },
            &longPath, &sizeQuery);
        if (error == ERROR_SUCCESS) return {expandComponents(trimmed(longPath)), tail};
        if (!sizeQuery || (error == ERROR_ACCESS_DENIED && ++deniedRounds > kAccessDeniedRounds))
            raiseRunTimeError(error, L"Unable to get a long path for allow path checking for the path (%s)",
                              text::displayPath(path));
        if (error == ERROR_ACCESS_DENIED) {
            listPrefixes(path);
            continue;
        }
        if (!climb()) return {trimmed(path), tail};
        if (isVolumeRoot(path)) return {withTrailingBackslash(path), tail};
        path = asQueried(path);
    }
}

std::wstring allowCheckPath(const std::wstring& base, const std::wstring& input) {
    return longAncestor(base, input).path;
}

NormalPath longForm(const std::wstring& input) { return longAncestor(L"", input).whole(); }

bool isVolumeRoot(const std::wstring& path) {
    std::wstring normalized = normalizePath(L"", path);
    size_t length = trimmedLength(normalized);
    if (length > kLongPrefix.size() && normalized.find(L'\\', kLongPrefix.size()) < length) return false;
    ErrorModeScope quiet;
    return platform::current().getVolumeInformation(normalized.substr(0, length) + L"\\") != ERROR_INVALID_NAME;
}

void listPrefixes(const std::wstring& path) {
    platform::Platform& p = platform::current();
    size_t length = trimmedLength(path);
    for (size_t i = kLongPrefix.size() + 1; i <= length; ++i) {
        if (i != length && path[i] != L'\\') continue;
        WIN32_FIND_DATAW data;
        platform::FindScope find;
        if (p.findFirstFile(path.substr(0, i) + L"\\*.*", &data, find.receive()) != ERROR_SUCCESS) return;
    }
}

} // namespace paths
