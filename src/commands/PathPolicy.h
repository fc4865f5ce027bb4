// Input paths: the "\\?\" normal form, reserved device names, and the allowed-path policy that
// every input path passes before a command touches anything.
#pragma once
#include <string>
#include <vector>

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

bool isVolumeRoot(const std::wstring& path);
bool isWithin(const std::wstring& root, const std::wstring& path);
// The normalised path without its last component; empty when only the root is left.
std::wstring parentPath(const std::wstring& path);

struct RootLists {
    std::vector<std::wstring> allowed;
    std::vector<std::wstring> denied;
};

// From the panel settings read through the management service.
RootLists buildRootLists();

// Raises RunTime::NotAllowedException "%s: Path is not allowed" when the input is refused.
void checkPathAllowed(const RootLists& roots, const std::wstring& input);

} // namespace pathpolicy
