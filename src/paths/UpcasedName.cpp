#include "paths/UpcasedName.h"

#include <windows.h>

extern "C" WCHAR NTAPI RtlUpcaseUnicodeChar(WCHAR c);

namespace paths {

std::wstring upcased(std::wstring_view name) {
    std::wstring upper(name);
    for (wchar_t& c : upper)
        c = RtlUpcaseUnicodeChar(c);
    return upper;
}

} // namespace paths
