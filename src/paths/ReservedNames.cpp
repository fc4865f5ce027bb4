#include "paths/ReservedNames.h"

#include <windows.h>

#include <stdexcept>

namespace paths {
namespace {

constexpr std::wstring_view kPolicyNames[] = {L"CON",  L"PRN",  L"AUX",  L"CLOCK$", L"NUL",  L"COM1",
                                              L"COM2", L"COM3", L"COM4", L"COM5",   L"COM6", L"COM7",
                                              L"COM8", L"COM9", L"LPT1", L"LPT2",   L"LPT3", L"LPT4",
                                              L"LPT5", L"LPT6", L"LPT7", L"LPT8",   L"LPT9"};
// Windows 10 and later open COM and LPT with a superscript digit (U+00B9, U+00B2, U+00B3) as the
// port of that number; COM0 and LPT0 are listed as reserved by the naming rules.
constexpr std::wstring_view kExtractionNames[] = {L"CONIN$",    L"CONOUT$",   L"COM0",      L"LPT0",
                                                  L"COM\u00b9", L"COM\u00b2", L"COM\u00b3", L"LPT\u00b9",
                                                  L"LPT\u00b2", L"LPT\u00b3"};

// Equal as the file system compares names: character by character after upper-casing. The
// policy's comparison has been the locale's, which also takes names with ignorable characters
// (a soft hyphen, say) for equal; a name it refused must stay refused, so that comparison counts
// too where it can differ: in a name with a character outside ASCII.
bool sameName(std::wstring_view name, bool ascii, std::wstring_view reserved) {
    const int length = static_cast<int>(name.size());
    const int reservedLength = static_cast<int>(reserved.size());
    if (CompareStringOrdinal(name.data(), length, reserved.data(), reservedLength, TRUE) == CSTR_EQUAL)
        return true;
    if (ascii) return false;
    int r = CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, name.data(), length, reserved.data(),
                           reservedLength);
    if (r == 0) throw std::runtime_error("Unable to compare a name with the reserved device names");
    return r == CSTR_EQUAL;
}

template <size_t N> bool listed(std::wstring_view name, bool ascii, const std::wstring_view (&names)[N]) {
    for (std::wstring_view reserved : names)
        if (sameName(name, ascii, reserved)) return true;
    return false;
}

} // namespace

bool isReservedDeviceName(std::wstring_view component, ReservedNames which) {
    std::wstring_view name = component.substr(0, component.find_first_of(L".:"));
    while (!name.empty() && name.back() == L' ')
        name.remove_suffix(1);
    bool ascii = true;
    for (wchar_t c : name)
        ascii = ascii && c < 0x80;
    // Every listed name has three to seven characters; only the locale's comparison can match
    // a name of another length.
    if (ascii && (name.size() < 3 || name.size() > 7)) return false;
    if (listed(name, ascii, kPolicyNames)) return true;
    return which == ReservedNames::Extraction && listed(name, ascii, kExtractionNames);
}

} // namespace paths
