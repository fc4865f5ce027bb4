#include "app/Text.h"

#include "app/Exceptions.h"

#include <windows.h>

namespace text {
namespace {

std::string narrow(UINT codePage, std::wstring_view s) {
    if (s.empty()) return {};
    int n = WideCharToMultiByte(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring widen(UINT codePage, std::string_view s) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
    return out;
}

} // namespace

std::string toUtf8(std::wstring_view s) { return narrow(CP_UTF8, s); }
std::wstring fromUtf8(std::string_view s) { return widen(CP_UTF8, s); }
std::string toAnsi(std::wstring_view s) { return narrow(CP_ACP, s); }
std::wstring fromAnsi(std::string_view s) { return widen(CP_ACP, s); }

bool equalNoCase(std::wstring_view a, std::wstring_view b) {
    int r = CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                           static_cast<int>(b.size()));
    if (r == 0)
        raiseRunTimeError(GetLastError(), L"Unable to compare strings (%s) with (%s)", std::wstring(a),
                          std::wstring(b));
    return r == CSTR_EQUAL;
}

std::wstring displayPath(const std::wstring& path) {
    static const std::wstring prefix = L"\\\\?\\";
    return path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path;
}

} // namespace text
