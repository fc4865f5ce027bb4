// What a path's text may hold: reserved device names, stream names, dot components in the forms
// taken as given, and wildcards. These are judged on the text alone, before the file system is
// asked anything.
#pragma once
#include <string>

namespace paths {

// Raises RunTime::InvalidPathException when a component of the normalised path is a reserved
// device name.
void checkReservedNames(const std::wstring& base, const std::wstring& input);

// A ":" after the drive names a stream of the component before it ("dir::$INDEX_ALLOCATION" is
// the folder itself to NTFS, which no string comparison can see).
bool hasStreamComponent(const std::wstring& normalized);
// "." or ".." as a component of a "\\?\", "\\.\" or UNC path, which is taken as given: the system
// does not resolve them the same way everywhere, so such a path has no single place to judge.
bool hasDotComponents(const std::wstring& normalized);
// "*", "?", "<", ">" or '"' in a component after the prefix: the find functions take them as
// patterns (and "<", ">", '"' as DOS wildcards), so such a path names whatever matches first.
bool hasWildcards(const std::wstring& normalized);

// An absolute path of a drive folder ("D:\" included) or of a UNC share, with nothing in it that
// the allowed-path check would refuse: what a configured root or an account's home must be.
bool isAbsoluteFolderPath(const std::wstring& value);

// A component path as the management service reports it, in canonical form: "/" becomes "\",
// empty and "." components are dropped, ".." removes the component before it.
std::wstring canonicalPath(const std::wstring& path);

} // namespace paths
