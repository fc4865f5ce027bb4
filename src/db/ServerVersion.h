// Comparison of server version texts ("10.11.6-MariaDB-0+deb12u1", "4.0.27-log") component by
// component: each dot-separated component counts by its leading digits, missing ones as 0.
#pragma once
#include <string_view>

namespace db {

bool versionAtLeast(std::wstring_view version, std::wstring_view minimum);

} // namespace db
