#include "app/Format.h"

#include "app/Text.h"

FormatArg::FormatArg(const char* s) : owned_(text::fromAnsi(s ? s : "(null)")), str_(owned_), isString_(true) {}
FormatArg::FormatArg(const std::string& s) : owned_(text::fromAnsi(s)), str_(owned_), isString_(true) {}

namespace {

std::wstring digits(uint64_t v, unsigned base, bool upper) {
    const wchar_t* set = upper ? L"0123456789ABCDEF" : L"0123456789abcdef";
    std::wstring out;
    do {
        out.insert(out.begin(), set[v % base]);
        v /= base;
    } while (v != 0);
    return out;
}

} // namespace

std::wstring vformat(std::wstring_view f, std::initializer_list<FormatArg> args) {
    std::wstring out;
    auto next = args.begin();
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] != L'%') {
            out += f[i];
            continue;
        }
        if (++i >= f.size()) break;
        if (f[i] == L'%') {
            out += L'%';
            continue;
        }
        bool left = false, zero = false, plus = false;
        for (; i < f.size() && std::wstring_view(L"-+0 #").find(f[i]) != std::wstring_view::npos; ++i) {
            left |= f[i] == L'-';
            zero |= f[i] == L'0';
            plus |= f[i] == L'+';
        }
        size_t width = 0;
        for (; i < f.size() && f[i] >= L'0' && f[i] <= L'9'; ++i) width = width * 10 + (f[i] - L'0');
        size_t precision = std::wstring_view::npos;
        if (i < f.size() && f[i] == L'.') {
            precision = 0;
            for (++i; i < f.size() && f[i] >= L'0' && f[i] <= L'9'; ++i) precision = precision * 10 + (f[i] - L'0');
        }
        bool wide64 = false;
        if (f.substr(i, 3) == L"I64")
            wide64 = true, i += 3;
        else if (f.substr(i, 3) == L"I32")
            i += 3;
        else if (f.substr(i, 2) == L"ll")
            wide64 = true, i += 2;
        else if (i < f.size() && (f[i] == L'l' || f[i] == L'h' || f[i] == L'L'))
            ++i;
        else if (i < f.size() && (f[i] == L'z' || f[i] == L'j' || f[i] == L'I'))
            wide64 = true, ++i;
        if (i >= f.size()) break;
        wchar_t conv = f[i];
        std::wstring piece;
        if (next == args.end()) {
            piece = L"";
        } else {
            const FormatArg& a = *next++;
            int64_t v = a.value();
            uint64_t u = wide64 ? static_cast<uint64_t>(v) : static_cast<uint32_t>(v);
            int64_t s = wide64 ? v : static_cast<int32_t>(v);
            switch (conv) {
            case L's':
            case L'S':
                piece = a.isString() ? std::wstring(a.str().substr(0, precision)) : std::to_wstring(v);
                break;
            case L'c':
            case L'C':
                piece = std::wstring(1, static_cast<wchar_t>(v));
                break;
            case L'd':
            case L'i':
                piece = (s < 0 ? L"-" : (plus ? L"+" : L"")) +
                        digits(s < 0 ? 0 - static_cast<uint64_t>(s) : static_cast<uint64_t>(s), 10, false);
                break;
            case L'u':
                piece = digits(u, 10, false);
                break;
            case L'x':
            case L'X':
                piece = digits(u, 16, conv == L'X');
                break;
            case L'o':
                piece = digits(u, 8, false);
                break;
            default:
                piece = std::wstring(1, conv);
            }
        }
        if (piece.size() < width) {
            size_t pad = width - piece.size();
            if (left)
                piece.append(pad, L' ');
            else if (zero && conv != L's') {
                size_t at = (!piece.empty() && (piece[0] == L'-' || piece[0] == L'+')) ? 1 : 0;
                piece.insert(at, pad, L'0');
            } else
                piece.insert(0, pad, L' ');
        }
        out += piece;
    }
    return out;
}
