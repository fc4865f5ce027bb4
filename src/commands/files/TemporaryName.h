// Fresh names inside a directory: "{GUID}" or "{prefix-GUID}".
#pragma once
#include "paths/NormalPath.h"

#include <string>

namespace files {

// The 36-character lower-case text of a new UUID, without braces; `random` chooses UuidCreate
// over UuidCreateSequential. Raises "Unable to create GUID" with the RPC status.
std::wstring createGuidString(bool random);

// The name "{GUID}", or "{prefix-GUID}" with the prefix stripped of trailing "\". A prefix that
// would leave the directory or name a stream (a separator, ":" or another character a file name
// cannot hold) raises the run-time error 123 "The prefix (%s) is invalid".
std::wstring temporaryLeaf(const std::wstring& prefix, const std::wstring& guid);

// A full path directly in `directory` that did not exist when it was checked; `attempts`
// candidates in all (0 counts as 1), then "Unable to create temporary name in (%s)".
paths::NormalPath temporaryName(const paths::NormalPath& directory, const std::wstring& prefix, int attempts);

} // namespace files
