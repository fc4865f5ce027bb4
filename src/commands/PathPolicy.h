// Input paths: the "\\?\" normal form, reserved device names, and the allowed-path policy that
// every input path passes before a command touches anything.
#pragma once
#include <string>
#include <vector>

#include <windows.h>

namespace pathpolicy {

// The normal form: "\\?\", a drive letter, ":" and "\"-separated components; "." and ".."
// resolved, runs of separators folded. Base may be empty (then the current directory is the base
// of a relative input). Touches the file system only to read the current directory.
std::wstring normalizePath(const std::wstring& base, const std::wstring& input);

// The display form: the path without a leading "\\?\".
std::wstring displayPath(const std::wstring& path);

// Length without trailing "\" and "\." (never below one character).
size_t trimmedLength(const std::wstring& path);
std::wstring trimmed(const std::wstring& path);

// Raises RunTime::InvalidPathException when a component is a reserved device name.
void checkReservedNames(const std::wstring& base, const std::wstring& input);

// The long path for allow checking (short names expanded; a missing tail judged by its nearest
// existing ancestor).
std::wstring allowCheckPath(const std::wstring& base, const std::wstring& input);

// An absolute path of a drive folder ("D:\\" included) or of a UNC share, with nothing in it that
// the allowed-path check would refuse: what a configured root or an account's home must be.
bool isAbsoluteFolderPath(const std::wstring& value);

// The value without the "\" and "/" it ends with.
std::wstring withoutTrailingSeparators(std::wstring value);

bool isVolumeRoot(const std::wstring& path);
bool isWithin(const std::wstring& root, const std::wstring& path);
// The normalised path without its last component; empty when only the root is left.
std::wstring parentPath(const std::wstring& path);

struct RootLists {
    std::vector<std::wstring> allowed;
    std::vector<std::wstring> denied;
};

// Where the panel's directories come from: the management service in production.
class PanelSettings {
public:
    virtual ~PanelSettings() = default;
    virtual std::wstring getString(const std::wstring& name) = 0;
    virtual std::wstring componentInfo(const std::wstring& package, int kind) = 0;
};
// The settings source in force: the installed one, or the management service.
PanelSettings& panelSettings();
// Installs another source (nullptr restores the management service); returns the previous one.
PanelSettings* installPanelSettings(PanelSettings* settings);

// From the panel settings read through the management service. A value that is no absolute path
// of a drive folder or a UNC share (relative, a bare prefix, climbing above its drive, holding a
// NUL) is left out, with a warning in the event log: the settings are input like any other.
RootLists buildRootLists();
RootLists buildRootLists(PanelSettings& settings);

// The program's temporary directory (GetTempPathW, with its trailing backslash); "Unable to get
// temporary path" when it cannot be read.
std::wstring temporaryDirectory();

// A component path as the management service reports it, in canonical form: "/" becomes "",
// empty and "." components are dropped, ".." removes the component before it.
std::wstring canonicalPath(const std::wstring& path);

// Runs a platform call of the "ask the size, then fill" kind (GetLongPathNameW and the like):
// the text, or the error of the call that failed (*sizeQuery tells whether it was the first).
template <class Call> DWORD queryString(Call call, std::wstring* out, bool* sizeQuery = nullptr) {
    DWORD needed = 0;
    if (sizeQuery) *sizeQuery = true;
    if (DWORD e = call(nullptr, 0, &needed)) return e;
    if (sizeQuery) *sizeQuery = false;
    for (int round = 0; round < 4; ++round) {
        std::wstring buffer(needed, L'\0');
        DWORD length = 0;
        if (DWORD e = call(buffer.data(), needed, &length)) return e;
        if (length < needed) {
            buffer.resize(length);
            *out = std::move(buffer);
            return ERROR_SUCCESS;
        }
        needed = length; // the text grew between the calls
    }
    return ERROR_INSUFFICIENT_BUFFER;
}

// Raises RunTime::NotAllowedException "%s: Path is not allowed" when the input is refused, and
// RunTime::InvalidPathException when a component names a stream ("name:stream:type"): NTFS takes
// "dir::$INDEX_ALLOCATION" for the folder itself, which no string comparison can see.
void checkPathAllowed(const RootLists& roots, const std::wstring& input);

// For operations that remove, move, rename, write into or copy out a whole tree (cp and --ex-copy
// for both paths: a tree copy of the product root would carry the denied root's programs into a
// hosting area; mv and --ex-rename for both paths, rm, rmdir (its -p cut included), --ex-remove,
// unpack-archive for its destination, mv2tempnam for its source, the setting modes of
// --permissions, and any such command added later): raises RunTime::NotAllowedException
// "%s: Path is not allowed" when a denied root lies within the input. The product root and the
// folders between it and the denied root stay readable to queries (list, size, --tree), but
// removing, replacing, merging into or copying out one of them reaches the denied root.
// Called after checkPathAllowed.
void checkNotAboveDenied(const RootLists& roots, const std::wstring& input);

// Lists every prefix of the normalised path once ("*.*"), from the root down to the path itself,
// up to the first that cannot be listed: walking down the tree this way lets a long- or short-path
// query through folders that only grant traversal.
void listPrefixes(const std::wstring& path);

// The whole input in long form, as the policy compares it: the long path of its nearest existing
// ancestor (every short name expanded) with the missing tail kept.
std::wstring longForm(const std::wstring& input);

} // namespace pathpolicy
