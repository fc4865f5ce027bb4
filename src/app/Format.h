// printf-style formatting of wide messages with typed arguments. The message formats of the
// program are printf formats ("%s: (%d) %s", "%I64d", "%08X"); this formatter reads them with
// Windows' conventions (%s takes any string, l is 32 bits, I64 is 64 bits) without varargs.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

class FormatArg {
public:
    FormatArg(const wchar_t* s) : str_(s ? s : L"(null)"), isString_(true) {}
    FormatArg(const std::wstring& s) : str_(s), isString_(true) {}
    FormatArg(std::wstring_view s) : str_(s), isString_(true) {}
    FormatArg(const char* s);
    FormatArg(const std::string& s);
    template <class T, class = std::enable_if_t<std::is_integral_v<T> || std::is_enum_v<T>>>
    FormatArg(T v) {
        if constexpr (std::is_signed_v<T>)
            signed_ = static_cast<int64_t>(v), isSigned_ = true;
        else
            signed_ = static_cast<int64_t>(static_cast<uint64_t>(v));
    }

    bool isString() const { return isString_; }
    std::wstring_view str() const { return str_; }
    int64_t value() const { return signed_; }
    bool isSigned() const { return isSigned_; }

private:
    std::wstring owned_;
    std::wstring_view str_;
    int64_t signed_ = 0;
    bool isString_ = false;
    bool isSigned_ = false;
};

std::wstring vformat(std::wstring_view format, std::initializer_list<FormatArg> args);

template <class... Args> std::wstring format(std::wstring_view f, const Args&... args) {
    return vformat(f, {FormatArg(args)...});
}
