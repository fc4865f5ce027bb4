// The name of an archive entry as a path below the extraction directory, or a refusal: entries
// are foreign input, and none may land outside the directory it is unpacked into.
#pragma once
#include <optional>
#include <string>

namespace archivers {

// The entry name ("/" or "\" separated) as a relative Windows path with "\" separators, "."
// components dropped. Nothing (a refusal) for an absolute path, a drive letter or any other ":"
// (streams), a ".." component, a component Windows would alias or refuse (ending in a dot or a
// blank, a reserved device name such as "nul", "com1.txt" or "clock$", control or wildcard
// characters).
// An empty result is the directory itself ("./").
std::optional<std::wstring> relativeEntryPath(const std::wstring& name);

// Whether `component` may be the name of a file or folder written on unpacking: not empty, not
// "..", no trailing dot or blank, no control, wildcard, separator or stream character, and no
// device name of paths::ReservedNames::Extraction.
bool acceptableName(const std::wstring& component);

// The last component of a path relativeEntryPath gave.
std::wstring leafOf(const std::wstring& relative);

} // namespace archivers
