// Names as the file system compares them.
#pragma once
#include <string>
#include <string_view>

namespace paths {

// `name` upper-cased character by character by the system's upcase table, the way NTFS folds
// case when it compares names (no locale, no expansion): two names are one name on the volume
// when their upcased forms are equal.
std::wstring upcased(std::wstring_view name);

} // namespace paths
