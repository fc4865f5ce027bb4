// Conversions between the wide strings used throughout and the narrow forms at the edges:
// UTF-8 for standard output, the ANSI code page for getopt and std::exception messages.
#pragma once
#include <string>
#include <string_view>

namespace text {

std::string toUtf8(std::wstring_view s);
std::wstring fromUtf8(std::string_view s);
std::string toAnsi(std::wstring_view s);
std::wstring fromAnsi(std::string_view s);

// Case-insensitive comparison of the system default locale (CompareStringW, NORM_IGNORECASE).
// Raises "Unable to compare strings (%s) with (%s)" when the comparison itself fails.
bool equalNoCase(std::wstring_view a, std::wstring_view b);

// A path as messages show it: without the "\\?\" prefix of the normal form.
std::wstring displayPath(const std::wstring& path);

} // namespace text
