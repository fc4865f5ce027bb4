// Placeholder until the policy lands: normal form only, every path allowed.
#include "commands/PathPolicy.h"

namespace pathpolicy {
std::wstring normalizePath(const std::wstring&, const std::wstring& input) { return input; }
std::wstring displayPath(const std::wstring& path) { return path.rfind(L"\\\\?\\", 0) == 0 ? path.substr(4) : path; }
RootLists buildRootLists() { return {}; }
void checkPathAllowed(const RootLists&, const std::wstring&) {}
} // namespace pathpolicy
