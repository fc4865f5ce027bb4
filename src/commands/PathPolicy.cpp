#include "commands/PathPolicy.h"

#include "app/Exceptions.h"
#include "app/Log.h"
#include "app/Text.h"
#include "ipc/TarnisSrvClient.h"
#include "platform/Platform.h"

#include <algorithm>
#include <utility>

namespace pathpolicy {
namespace {

const std::wstring kPrefix = L"\\\\?\\";
constexpr size_t kPrefixLength = 4;
// Rounds of "list the ancestors, ask again" when the long-path query keeps meeting access denied.
constexpr int kAccessDeniedRounds = 4;

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
bool startsWith(const std::wstring& s, const std::wstring& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

// "\\?\C:" is the drive itself: its root form has the "\".
void completeDriveRoot(std::wstring& path) {
    if (path.size() == 6 && path[5] == L':') path += L'\\';
}

std::wstring withTrailingBackslash(std::wstring path) {
    if (path.empty() || path.back() != L'\\') path += L'\\';
    return path;
}

std::wstring currentDirectory() {
    std::wstring directory;
    platform::Platform& p = platform::current();
    DWORD error = queryString(
        [&](wchar_t* buffer, DWORD size, DWORD* length) { return p.getCurrentDirectory(size, buffer, length); },
        &directory);
    if (error) raiseRunTimeError(error, L"Unable to get current directory");
    return directory;
}

bool isExistingDirectory(const std::wstring& path) {
    DWORD attributes = 0;
    return platform::current().getFileAttributes(path, &attributes) == ERROR_SUCCESS &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Where the components of a path taken as given begin: after "\\?\" or "\\.\", or after the two
// "\" of a UNC path.
size_t componentStart(const std::wstring& path) {
    if (startsWith(path, kPrefix) || startsWith(path, L"\\\\.\\")) return kPrefixLength;
    return startsWith(path, L"\\\\") ? 2 : 0;
}

// The components after the prefix. The system also separates at "/" in "\\.\" and UNC paths, so
// both separators split here.
std::vector<std::wstring> componentsOf(const std::wstring& path) {
    std::vector<std::wstring> parts;
    size_t start = std::min(componentStart(path), path.size());
    for (size_t i = start; i <= path.size(); ++i) {
        if (i == path.size() || isSeparator(path[i])) {
            parts.push_back(path.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

bool isDriveComponent(const std::wstring& part) {
    return part.size() == 2 && part[1] == L':' &&
           ((part[0] >= L'A' && part[0] <= L'Z') || (part[0] >= L'a' && part[0] <= L'z'));
}

// A ":" after the drive names a stream of the component before it.
bool hasStreamComponent(const std::wstring& normalized) {
    std::vector<std::wstring> parts = componentsOf(normalized);
    for (size_t i = 0; i < parts.size(); ++i)
        if (parts[i].find(L':') != std::wstring::npos && !(i == 0 && isDriveComponent(parts[i]))) return true;
    return false;
}

// Where the components that name directory entries begin: after the drive of "\\?\C:\", after
// the share of "\\server\share\" and "\\?\UNC\server\share\"; npos for any other form.
size_t entriesStart(const std::wstring& path) {
    size_t start = componentStart(path);
    if (start == 0) return std::wstring::npos;
    size_t skip = 2; // server and share
    if (start == kPrefixLength) {
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
                      part.find_first_of(L"*?<>\"") == std::wstring::npos;
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

// The long path of the path's nearest existing ancestor-or-self, and the missing tail below it.
struct LongAncestor {
    std::wstring path;
    std::wstring tail;
};

LongAncestor longAncestor(const std::wstring& base, const std::wstring& input) {
    std::wstring path = normalizePath(base, input);
    std::wstring tail;
    // Only the console names stay relative: they name no place in the file system.
    if (!startsWith(path, L"\\\\")) return {path, tail};
    // Cuts the last component off `path` and puts it in front of the tail; false when none is left.
    auto climb = [&]() {
        std::wstring parent = parentPath(path);
        if (parent.empty()) return false;
        std::wstring child = trimmed(path);
        size_t cut = child.rfind(L'\\');
        tail = child.substr(cut + 1) + (tail.empty() ? L"" : L"\\" + tail);
        path = parent;
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
        DWORD error = queryString(
            [&](wchar_t* buffer, DWORD size, DWORD* length) { return p.getLongPathName(path, buffer, size, length); },
            &longPath, &sizeQuery);
        if (error == ERROR_SUCCESS) return {expandComponents(trimmed(longPath)), tail};
        if (!sizeQuery || (error == ERROR_ACCESS_DENIED && ++deniedRounds > kAccessDeniedRounds))
            raiseRunTimeError(error, L"Unable to get a long path for allow path checking for the path (%s)",
                              displayPath(path));
        if (error == ERROR_ACCESS_DENIED) {
            listPrefixes(path);
            continue;
        }
        if (!climb()) return {trimmed(path), tail};
        if (isVolumeRoot(path)) return {withTrailingBackslash(path), tail};
        path = asQueried(path);
    }
}

// The whole path in long form: the long path of the nearest existing ancestor with the missing
// tail kept. Roots and inputs are compared in this form, so that a root that does not exist
// (yet) never widens into its existing parent, and a missing path is judged where it would be.
std::wstring fullLongPath(const LongAncestor& found) {
    return found.tail.empty() ? found.path : withTrailingBackslash(found.path) + found.tail;
}

// A "\\?\", "\\.\" or UNC path is taken as given, so "." and ".." may still be in it; the system
// does not resolve them the same way everywhere, so such a path has no single place to judge.
bool hasDotComponents(const std::wstring& normalized) {
    if (!startsWith(normalized, L"\\\\")) return false;
    std::vector<std::wstring> parts = componentsOf(normalized);
    return std::any_of(parts.begin(), parts.end(), [](const std::wstring& c) { return c == L"." || c == L".."; });
}

} // namespace

std::wstring withoutTrailingSeparators(std::wstring value) {
    while (!value.empty() && isSeparator(value.back())) value.pop_back();
    return value;
}

bool isAbsoluteFolderPath(const std::wstring& value) {
    if (value.find(L'\0') != std::wstring::npos) return false; // never cut at it: the whole value is suspect
    bool drivePath = value.size() >= 2 && isDriveComponent(value.substr(0, 2)) &&
                     (value.size() == 2 || isSeparator(value[2]));
    if (!drivePath && !startsWith(value, L"\\\\")) return false;
    std::wstring normalized;
    try {
        normalized = normalizePath(L"", value);
    } catch (const std::exception&) {
        return false; // ".." above the drive
    }
    if (hasDotComponents(normalized) || hasStreamComponent(normalized)) return false;
    std::vector<std::wstring> parts = componentsOf(normalized);
    size_t shareAt = 0; // index of the server component of a UNC form
    if (componentStart(normalized) == kPrefixLength) {
        if (parts.empty()) return false;
        if (isDriveComponent(parts[0])) return true;
        if (!text::equalNoCase(parts[0], L"UNC")) return false;
        shareAt = 1;
    }
    return parts.size() >= shareAt + 2 && !parts[shareAt].empty() && !parts[shareAt + 1].empty();
}

namespace {

// The value when it can be a root; otherwise nothing, and a warning in the event log.
std::wstring usableRoot(const std::wstring& name, const std::wstring& value) {
    if (value.empty() || isAbsoluteFolderPath(value)) return value;
    std::wstring shown;
    for (wchar_t c : value)
        shown += c ? std::wstring(1, c) : L"\\0";
    LogManager::instance().reportEvent(
        1,
        format(L"The panel setting %s (%s) is not an absolute folder path; it is not used as an allowed root",
               name, shown));
    return {};
}

class ManagementService : public PanelSettings {
public:
    std::wstring getString(const std::wstring& name) override { return TarnisSrvClient::getInstance().getString(name); }
    std::wstring componentInfo(const std::wstring& package, int kind) override {
        return TarnisSrvClient::getInstance().componentInfo(package, kind);
    }
};

PanelSettings* installedSettings = nullptr;

struct ErrorModeScope {
    UINT old = SetErrorMode(SEM_FAILCRITICALERRORS);
    ~ErrorModeScope() { SetErrorMode(old); }
};

// The value of an environment variable; empty when it is not set.
std::wstring environmentValue(const wchar_t* name) {
    SetLastError(ERROR_SUCCESS);
    DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
    if (needed == 0) {
        DWORD error = GetLastError();
        if (error != ERROR_SUCCESS && error != ERROR_ENVVAR_NOT_FOUND)
            raiseRunTimeError(error, L"Unable to get environment variable %s", name);
        return {};
    }
    std::wstring value(needed, L'\0');
    DWORD length = GetEnvironmentVariableW(name, value.data(), needed);
    if (length == 0 && GetLastError() != ERROR_SUCCESS)
        raiseRunTimeError(GetLastError(), L"Unable to get environment variable %s", name);
    value.resize(std::min<size_t>(length, value.size()));
    return value;
}

} // namespace

void listPrefixes(const std::wstring& path) {
    platform::Platform& p = platform::current();
    size_t length = trimmedLength(path);
    for (size_t i = kPrefixLength + 1; i <= length; ++i) {
        if (i != length && path[i] != L'\\') continue;
        WIN32_FIND_DATAW data;
        platform::FindScope find;
        if (p.findFirstFile(path.substr(0, i) + L"\\*.*", &data, find.receive()) != ERROR_SUCCESS) return;
    }
}

size_t trimmedLength(const std::wstring& path) {
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

std::wstring trimmed(const std::wstring& path) { return path.substr(0, trimmedLength(path)); }

std::wstring displayPath(const std::wstring& path) { return text::displayPath(path); }

std::wstring normalizePath(const std::wstring& base, const std::wstring& input) {
    if (base.empty() && (input.size() == 6 || input.size() == 7) &&
        (text::equalNoCase(input, L"CONOUT$") || text::equalNoCase(input, L"CONIN$")))
        return input;
    if (base.empty() && input.empty()) raiseRunTimeError(ERROR_INVALID_PARAMETER, L"Empty input path");
    if (input.size() > 1 && startsWith(input, L"\\\\")) {
        std::wstring result = trimmed(input);
        completeDriveRoot(result);
        return result;
    }

    std::wstring result;
    if (input.size() > 1 && input[1] == L':') {
        result = kPrefix;
    } else if (!base.empty()) {
        if (base[0] == L'\\') {
            result = base;
        } else {
            result = kPrefix;
            for (wchar_t c : base) {
                if (!isSeparator(c))
                    result += c;
                else if (result.back() != L'\\')
                    result += L'\\';
            }
        }
    } else {
        std::wstring directory = currentDirectory();
        result = startsWith(directory, L"\\\\") ? directory : kPrefix + directory;
    }
    result = trimmed(result) + L'\\';

    // Walk the input: "." and ".." as whole components are resolved, runs of separators fold
    // into one "\"; a "." that only starts a name (.htaccess, ..x) is an ordinary character.
    const size_t n = input.size();
    size_t i = 0;
    while (i < n) {
        wchar_t c = input[i];
        bool componentStart = result.back() == L'\\';
        if (componentStart && c == L'.' && (i + 1 == n || isSeparator(input[i + 1]))) {
            i += 2;
            continue;
        }
        if (componentStart && c == L'.' && i + 1 < n && input[i + 1] == L'.' && (i + 2 == n || isSeparator(input[i + 2]))) {
            size_t previous = result.size() >= 2 ? result.rfind(L'\\', result.size() - 2) : std::wstring::npos;
            if (previous == std::wstring::npos || previous < 5)
                raiseRunTimeError(0, L"Invalid input path (%s) + (%s)", displayPath(base), displayPath(input));
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

void checkReservedNames(const std::wstring& base, const std::wstring& input) {
    static const wchar_t* const kReserved[] = {L"CON",  L"PRN",  L"AUX",  L"CLOCK$", L"NUL",  L"COM1",
                                               L"COM2", L"COM3", L"COM4", L"COM5",   L"COM6", L"COM7",
                                               L"COM8", L"COM9", L"LPT1", L"LPT2",   L"LPT3", L"LPT4",
                                               L"LPT5", L"LPT6", L"LPT7", L"LPT8",   L"LPT9"};
    std::wstring path = normalizePath(base, input);
    size_t start = startsWith(path, kPrefix) ? kPrefixLength : 0;
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
                throw RunTime::InvalidPathException(text::toAnsi(
                    displayPath(path) + L": contains reserved device names that cannot be used as the name of a file."));
    }
}

std::wstring allowCheckPath(const std::wstring& base, const std::wstring& input) {
    return longAncestor(base, input).path;
}

bool isVolumeRoot(const std::wstring& path) {
    std::wstring normalized = normalizePath(L"", path);
    size_t length = trimmedLength(normalized);
    if (length > kPrefixLength && normalized.find(L'\\', kPrefixLength) < length) return false;
    ErrorModeScope quiet;
    return platform::current().getVolumeInformation(normalized.substr(0, length) + L"\\") != ERROR_INVALID_NAME;
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

std::wstring parentPath(const std::wstring& path) {
    std::wstring normalized = normalizePath(L"", path);
    size_t cut = normalized.rfind(L'\\', trimmedLength(normalized) - 1);
    if (cut == std::wstring::npos || cut < kPrefixLength) return {};
    return normalizePath(L"", normalized.substr(0, cut));
}

std::wstring canonicalPath(const std::wstring& path) {
    std::wstring p = path;
    std::replace(p.begin(), p.end(), L'/', L'\\');
    std::wstring lead;
    if (startsWith(p, kPrefix) || startsWith(p, L"\\\\.\\"))
        lead = p.substr(0, kPrefixLength);
    else if (startsWith(p, L"\\\\"))
        lead = L"\\\\"; // a UNC path keeps both of its leading separators
    else if (startsWith(p, L"\\"))
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

PanelSettings& panelSettings() {
    static ManagementService service;
    return installedSettings ? *installedSettings : service;
}

PanelSettings* installPanelSettings(PanelSettings* settings) { return std::exchange(installedSettings, settings); }

RootLists buildRootLists() {
    try {
        return buildRootLists(panelSettings());
    } catch (const vexception& e) {
        // Reading the panel's settings failed (the service is down, say): the failure says
        // nothing about the input paths, so it must not keep a class that reads as a path answer
        // (a missing pipe is error 2, "file not found"). Message and contexts stay.
        throw vexception(e);
    }
}

std::wstring temporaryDirectory() {
    std::wstring temp;
    platform::Platform& p = platform::current();
    DWORD error = queryString(
        [&](wchar_t* buffer, DWORD size, DWORD* length) { return p.getTempPath(size, buffer, length); }, &temp);
    if (error) raiseRunTimeError(error, L"Unable to get temporary path");
    return temp;
}

RootLists buildRootLists(PanelSettings& settings) {
    RootLists roots;
    auto value = [&](const wchar_t* name) {
        return usableRoot(name, withoutTrailingSeparators(settings.getString(name)));
    };
    auto allowIfSet = [&](std::wstring root) {
        if (!root.empty()) roots.allowed.push_back(std::move(root));
    };

    // A missing product or data directory allows nothing: the roots built on it are left out
    // rather than turned into relative paths.
    std::wstring product = value(L"PRODUCT_ROOT_D");
    if (!product.empty()) {
        roots.allowed.push_back(product);
        roots.denied.push_back(product + L"\\admin\\bin");
        roots.allowed.push_back(product + L"\\tmp");
    }
    std::wstring data = value(L"PRODUCT_DATA_D");
    if (!data.empty()) roots.allowed.push_back(data + L"\\var");
    for (const wchar_t* name : {L"HTTPD_VHOSTS_D", L"CATALINA_HOME", L"DUMP_D"}) allowIfSet(value(name));
    allowIfSet(usableRoot(L"frontpage",
                          withoutTrailingSeparators(canonicalPath(settings.componentInfo(L"frontpage", 2)))));

    allowIfSet(usableRoot(L"temporary directory", withoutTrailingSeparators(temporaryDirectory())));
    for (const wchar_t* name : {L"tmp", L"temp"})
        allowIfSet(usableRoot(name, withoutTrailingSeparators(environmentValue(name))));
    return roots;
}

void checkPathAllowed(const RootLists& roots, const std::wstring& input) {
    checkReservedNames(L"", input);
    std::wstring normalized = normalizePath(L"", input);
    if (hasStreamComponent(normalized))
        throw RunTime::InvalidPathException(text::toAnsi(
            displayPath(normalized) + L": contains a stream name that cannot be used as a path."));
    if (hasDotComponents(normalized))
        throw RunTime::NotAllowedException(L"%s: Path is not allowed", displayPath(normalized));
    LongAncestor found = longAncestor(L"", input);
    std::wstring path = fullLongPath(found);
    auto within = [&](const std::wstring& root) { return isWithin(longForm(root), path); };
    bool allowed = std::any_of(roots.allowed.begin(), roots.allowed.end(), within);
    if (!allowed || std::any_of(roots.denied.begin(), roots.denied.end(), within))
        throw RunTime::NotAllowedException(L"%s: Path is not allowed", displayPath(found.path));
}

void checkNotAboveDenied(const RootLists& roots, const std::wstring& input) {
    std::wstring path = longForm(input);
    for (const std::wstring& denied : roots.denied)
        if (isWithin(path, longForm(denied)))
            throw RunTime::NotAllowedException(L"%s: Path is not allowed", displayPath(trimmed(path)));
}

std::wstring longForm(const std::wstring& input) {
    return fullLongPath(longAncestor(L"", input));
}

} // namespace pathpolicy
