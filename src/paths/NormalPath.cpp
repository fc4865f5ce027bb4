#include "paths/NormalPath.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "platform/Platform.h"
#include "platform/QueryString.h"

#include <algorithm>

namespace paths {
namespace {

// "\\?\C:" is the drive itself: its root form has the "\".
void completeDriveRoot(std::wstring& path) {
    if (path.size() == 6 && path[5] == L':') path += L'\\';
}

std::wstring currentDirectory() {
    std::wstring directory;
    platform::Platform& p = platform::current();
    DWORD error = platform::queryString(
        [&](wchar_t* buffer, DWORD size, DWORD* length) { return p.getCurrentDirectory(size, buffer, length); },
        &directory);
    if (error) raiseRunTimeError(error, L"Unable to get current directory");
    return directory;
}

// "C:name" names `name` in the current directory of drive C, which is the process's current
// directory when that is on C and otherwise the one the environment keeps for C ("=C:"), or the
// drive's root. The system resolves it; asking it for the drive alone gives that directory.
std::wstring driveCurrentDirectory(const std::wstring& drive) {
    std::wstring directory;
    platform::Platform& p = platform::current();
    DWORD error = platform::queryString(
        [&](wchar_t* buffer, DWORD size, DWORD* length) { return p.getFullPathName(drive, size, buffer, length); },
        &directory);
    if (error) raiseRunTimeError(error, L"Unable to get current directory");
    return directory;
}

bool isDriveRelative(const std::wstring& input) {
    return input.size() > 2 && isDriveComponent(std::wstring_view(input).substr(0, 2)) && !isSeparator(input[2]);
}

} // namespace

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

size_t trimmedLength(std::wstring_view path) {
    size_t n = path.size();
    while (n > 1) {
        if (path[n - 1] == L'\\')
            --n;
        else if (n > 2 && path[n - 1] == L'.' && path[n - 2] == L'\\')
            n -= 2;
        else
            break;
    }
    return n;
}

std::wstring trimmed(std::wstring_view path) { return std::wstring(path.substr(0, trimmedLength(path))); }

std::wstring withoutTrailingSeparators(std::wstring value) {
    while (!value.empty() && isSeparator(value.back())) value.pop_back();
    return value;
}

std::wstring withTrailingBackslash(std::wstring path) {
    if (path.empty() || path.back() != L'\\') path += L'\\';
    return path;
}

size_t componentStart(std::wstring_view path) {
    if (path.starts_with(kLongPrefix) || path.starts_with(L"\\\\.\\")) return kLongPrefix.size();
    return path.starts_with(L"\\\\") ? 2 : 0;
}

std::vector<std::wstring> componentsOf(std::wstring_view path) {
    std::vector<std::wstring> parts;
    size_t start = std::min(componentStart(path), path.size());
    for (size_t i = start; i <= path.size(); ++i) {
        if (i == path.size() || isSeparator(path[i])) {
            parts.emplace_back(path.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

bool isDriveComponent(std::wstring_view part) {
    return part.size() == 2 && part[1] == L':' &&
           ((part[0] >= L'A' && part[0] <= L'Z') || (part[0] >= L'a' && part[0] <= L'z'));
}

std::wstring normalizePath(const std::wstring& base, const std::wstring& input) {
    if (base.empty() && (input.size() == 6 || input.size() == 7) &&
        (text::equalNoCase(input, L"CONOUT$") || text::equalNoCase(input, L"CONIN$")))
        return input;
    if (base.empty() && input.empty()) raiseRunTimeError(ERROR_INVALID_PARAMETER, L"Empty input path");
    if (input.size() > 1 && input.starts_with(L"\\\\")) {
        std::wstring result = trimmed(input);
        completeDriveRoot(result);
        return result;
    }
    if (base.empty() && isDriveRelative(input))
        return normalizePath(driveCurrentDirectory(input.substr(0, 2)), input.substr(2));

    std::wstring result;
    if (input.size() > 1 && input[1] == L':') {
        result = kLongPrefix;
    } else if (!base.empty()) {
        if (base[0] == L'\\') {
            result = base;
        } else {
            result = kLongPrefix;
            for (wchar_t c : base) {
                if (!isSeparator(c))
                    result += c;
                else if (result.back() != L'\\')
                    result += L'\\';
            }
        }
    } else {
        std::wstring directory = currentDirectory();
        result = directory.starts_with(L"\\\\") ? directory : std::wstring(kLongPrefix) + directory;
    }
    result = trimmed(result) + L'\\';

    // Walk the input: "." and ".." as whole components are resolved, runs of separators fold
    // into one "\"; a "." that only starts a name (.htaccess, ..x) is an ordinary character.
    const size_t n = input.size();
    size_t i = 0;
    while (i < n) {
        wchar_t c = input[i];
        bool atComponent = result.back() == L'\\';
        if (atComponent && c == L'.' && (i + 1 == n || isSeparator(input[i + 1]))) {
            i += 2;
            continue;
        }
        if (atComponent && c == L'.' && i + 1 < n && input[i + 1] == L'.' && (i + 2 == n || isSeparator(input[i + 2]))) {
            size_t previous = result.size() >= 2 ? result.rfind(L'\\', result.size() - 2) : std::wstring::npos;
            if (previous == std::wstring::npos || previous < 5)
                raiseRunTimeError(0, L"Invalid input path (%s) + (%s)", text::displayPath(base),
                                  text::displayPath(input));
            result.resize(previous + 1);
            i += 3;
            continue;
        }
        if (isSeparator(c)) {
            if (result.back() != L'\\') result += L'\\';
        } else {
            result += c;
        }
        ++i;
    }
    result = trimmed(result);
    completeDriveRoot(result);
    return result;
}

bool isWithin(const std::wstring& root, const std::wstring& path) {
    std::wstring r = trimmed(normalizePath(L"", root));
    std::wstring p = trimmed(normalizePath(L"", path));
    if (p.size() < r.size() || (p.size() > r.size() && p[r.size()] != L'\\')) return false;
    std::wstring head = p.substr(0, r.size());
    // The locale comparison may take two different names for equal (ignorable or expanding
    // characters); the file system compares character by character, and so must the policy.
    return text::equalNoCase(head, r) &&
           CompareStringOrdinal(head.data(), static_cast<int>(head.size()), r.data(), static_cast<int>(r.size()),
                                TRUE) == CSTR_EQUAL;
}

NormalPath::NormalPath(const std::wstring& input, const std::wstring& base) : normal_(normalizePath(base, input)) {}

NormalPath NormalPath::fromNormal(std::wstring normal) {
    NormalPath path;
    path.normal_ = std::move(normal);
    return path;
}

std::wstring NormalPath::display() const { return text::displayPath(normal_); }

std::wstring NormalPath::name() const {
    if (isRootForm()) return {};
    std::wstring t = trimmed(normal_);
    return t.substr(t.rfind(L'\\') + 1);
}

NormalPath NormalPath::parent() const {
    if (normal_.empty()) return {};
    size_t cut = normal_.rfind(L'\\', trimmedLength(normal_) - 1);
    if (cut == std::wstring::npos || cut < kLongPrefix.size()) return {};
    std::wstring parent = trimmed(std::wstring_view(normal_).substr(0, cut));
    completeDriveRoot(parent);
    return fromNormal(std::move(parent));
}

NormalPath NormalPath::root() const {
    // The drive of "\\?\C:\...", the share of "\\?\UNC\server\share\..." and of
    // "\\server\share\...".
    std::vector<std::wstring> parts = components();
    size_t kept = parts.empty() ? 0 : isDriveComponent(parts[0]) ? 1 : text::equalNoCase(parts[0], L"UNC") ? 3 : 2;
    std::wstring root = normal_.substr(0, componentStart(normal_));
    for (size_t i = 0; i < kept && i < parts.size(); ++i) root += parts[i] + L"\\";
    return fromNormal(std::move(root));
}

NormalPath NormalPath::join(std::wstring_view name) const {
    if (normal_.empty()) return fromNormal(std::wstring(name));
    std::wstring joined = normal_;
    if (joined.back() != L'\\') joined += L'\\';
    joined += name;
    return fromNormal(std::move(joined));
}

} // namespace paths
