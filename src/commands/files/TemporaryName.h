// Fresh names inside a directory: "{GUID}" or "{prefix-GUID}".
#pragma once
#include <string>

namespace files {

// The 36-character lower-case GUID text; `random` false uses a sequential UUID. Raises "Unable to
// create GUID" with the status on failure.
std::wstring createGuidString(bool random);
// A full path directly in `directory` that did not exist when checked, `attempts` candidates at
// most (0 counts as 1), else "Unable to create temporary name in (%s)". The prefix loses trailing
// "\" characters; one that would put the name anywhere else (a separator, a character no name may
// hold) is refused with code 123 before any candidate is made.
std::wstring temporaryName(const std::wstring& directory, const std::wstring& prefix, int attempts);

} // namespace files
