#include "commands/files/ContentType.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string_view>

#include <windows.h>

namespace contenttype {
namespace {

// EBCDIC to ASCII as the POSIX rationale of dd gives it (dd conv=ascii).
const unsigned char kEbcdic[256] = {
    0x00, 0x01, 0x02, 0x03, 0x9c, 0x09, 0x86, 0x7f, 0x97, 0x8d, 0x8e, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f,
    0x10, 0x11, 0x12, 0x13, 0x9d, 0x85, 0x08, 0x87, 0x18, 0x19, 0x92, 0x8f, 0x1c, 0x1d, 0x1e, 0x1f,
    0x80, 0x81, 0x82, 0x83, 0x84, 0x0a, 0x17, 0x1b, 0x88, 0x89, 0x8a, 0x8b, 0x8c, 0x05, 0x06, 0x07,
    0x90, 0x91, 0x16, 0x93, 0x94, 0x95, 0x96, 0x04, 0x98, 0x99, 0x9a, 0x9b, 0x14, 0x15, 0x9e, 0x1a,
    0x20, 0xa0, 0xa1, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xd5, 0x2e, 0x3c, 0x28, 0x2b, 0x7c,
    0x26, 0xa9, 0xaa, 0xab, 0xac, 0xad, 0xae, 0xaf, 0xb0, 0xb1, 0x21, 0x24, 0x2a, 0x29, 0x3b, 0x7e,
    0x2d, 0x2f, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xcb, 0x2c, 0x25, 0x5f, 0x3e, 0x3f,
    0xba, 0xbb, 0xbc, 0xbd, 0xbe, 0xbf, 0xc0, 0xc1, 0xc2, 0x60, 0x3a, 0x23, 0x40, 0x27, 0x3d, 0x22,
    0xc3, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9,
    0xca, 0x6a, 0x6b, 0x6c, 0x6d, 0x6e, 0x6f, 0x70, 0x71, 0x72, 0x5e, 0xcc, 0xcd, 0xce, 0xcf, 0xd0,
    0xd1, 0xe5, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0xd2, 0xd3, 0xd4, 0x5b, 0xd6, 0xd7,
    0xd8, 0xd9, 0xda, 0xdb, 0xdc, 0xdd, 0xde, 0xdf, 0xe0, 0xe1, 0xe2, 0xe3, 0xe4, 0x5d, 0xe6, 0xe7,
    0x7b, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0xe8, 0xe9, 0xea, 0xeb, 0xec, 0xed,
    0x7d, 0x4a, 0x4b, 0x4c, 0x4d, 0x4e, 0x4f, 0x50, 0x51, 0x52, 0xee, 0xef, 0xf0, 0xf1, 0xf2, 0xf3,
    0x5c, 0x9f, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9,
    0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0xfa, 0xfb, 0xfc, 0xfd, 0xfe, 0xff,
};

bool startsWith(Bytes content, std::string_view head) {
    return content.size() >= head.size() && std::memcmp(content.data(), head.data(), head.size()) == 0;
}

// Every byte's class is one of the allowed ones (a bit set indexed by CharClass).
bool allOf(Bytes content, unsigned allowed, bool ebcdic = false) {
    return std::all_of(content.begin(), content.end(), [&](unsigned char b) {
        return allowed & (1u << static_cast<unsigned>(classOf(ebcdic ? kEbcdic[b] : b)));
    });
}

constexpr unsigned bit(CharClass c) {
    return 1u << static_cast<unsigned>(c);
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The checksum field read as octal: leading white space skipped, octal digits taken, then the
// field's end, a NUL or white space; -1 when the field is not such a number.
long long tarChecksumField(Bytes header) {
    const char* p = reinterpret_cast<const char*>(header.data()) + 148;
    const char* end = p + 8;
    while (p < end && isSpace(*p))
        ++p;
    long long value = 0;
    while (p < end && *p >= '0' && *p <= '7')
        value = value * 8 + (*p++ - '0');
    if (p < end && *p != '\0' && !isSpace(*p)) return -1;
    return value;
}

// "#define NAME NUMBER" where the part of NAME after its last "_" is "width" or "height"; the
// number is read as sscanf's %d reads it and anything after it is ignored.
bool isXbmDefine(std::string_view line) {
    constexpr std::string_view keyword = "#define";
    if (line.substr(0, keyword.size()) != keyword) return false;
    size_t i = keyword.size();
    while (i < line.size() && isSpace(line[i]))
        ++i;
    size_t nameStart = i;
    while (i < line.size() && !isSpace(line[i]))
        ++i;
    std::string_view name = line.substr(nameStart, i - nameStart);
    if (name.empty()) return false;
    while (i < line.size() && isSpace(line[i]))
        ++i;
    if (i < line.size() && (line[i] == '+' || line[i] == '-')) ++i;
    if (i >= line.size() || line[i] < '0' || line[i] > '9') return false;
    size_t underscore = name.rfind('_');
    std::string_view last = underscore == std::string_view::npos ? name : name.substr(underscore + 1);
    return last == "width" || last == "height";
}

} // namespace

CharClass classOf(unsigned char b) {
    if (b >= 0xA0) return CharClass::I;
    if (b >= 0x80) return b == 0x85 ? CharClass::T : CharClass::X;
    if (b >= 0x20) return b == 0x7F ? CharClass::F : CharClass::T;
    if ((b >= 0x07 && b <= 0x0A) || b == 0x0C || b == 0x0D || b == 0x1B) return CharClass::T;
    return CharClass::F;
}

unsigned char fromEbcdic(unsigned char byte) {
    return kEbcdic[byte];
}

std::wstring tarKind(Bytes content) {
    if (content.size() < 512) return {};
    long long field = tarChecksumField(content);
    if (field < 0) return {};
    long long sum = 0;
    for (size_t i = 0; i < 512; ++i)
        sum += (i >= 148 && i < 156) ? 0x20 : content[i];
    if (sum != field) return {};
    static const char posix[8] = {'u', 's', 't', 'a', 'r', ' ', ' ', '\0'};
    return std::memcmp(content.data() + 257, posix, 8) == 0 ? L"POSIX tar archive\n" : L"tar archive\n";
}

std::wstring imageKind(Bytes c) {
    if (c.size() <= 2) return {};
    if (startsWith(c, "GIF")) return L"GIF image\n";
    if (startsWith(c, "\xFF\xD8\xFF")) return L"JPEG image\n";
    if (startsWith(c, "\x89PN")) {
        if (startsWith(c, "\x89PNG\r\n\x1A\n")) return L"PNG image\n";
        return {};
    }
    if (startsWith(c, "FWS")) return L"SWF image\n";
    if (startsWith(c, "CWS")) return L"SWC image\n";
    if (startsWith(c, "8BP")) return L"PSD image\n";
    if (startsWith(c, "BM")) return L"BMP image\n";
    if (startsWith(c, "\xFF\x4F\xFF")) return L"JPC image\n";
    if (c.size() <= 3) return {};
    if (startsWith(c, std::string_view("II\x2A\x00", 4))) return L"TIFF_II image\n";
    if (startsWith(c, std::string_view("MM\x00\x2A", 4))) return L"TIFF_MM image\n";
    if (startsWith(c, "FORM")) return L"IFF image\n";
    if (c.size() <= 11) return {};
    if (startsWith(c, std::string_view("\x00\x00\x00\x0C\x6A\x50\x20\x20\x0D\x0A\x87\x0A", 12)))
        return L"JP2 image\n";
    if (isXbm(c)) return L"XBM image\n";
    return {};
}

bool isXbm(Bytes content) {
    std::string_view text(reinterpret_cast<const char*>(content.data()), content.size());
    size_t first = text.find('\n');
    if (first == std::string_view::npos) return false;
    size_t second = text.find('\n', first + 1);
    if (second == std::string_view::npos) return false;
    return isXbmDefine(text.substr(0, first)) && isXbmDefine(text.substr(first + 1, second - first - 1));
}

bool isUtf8(Bytes c, bool truncated) {
    for (size_t i = 0; i < c.size();) {
        unsigned char b = c[i++];
        if (b < 0x80) {
            if (classOf(b) != CharClass::T) return false;
            continue;
        }
        int following;
        if ((b & 0xE0) == 0xC0)
            following = 1;
        else if ((b & 0xF0) == 0xE0)
            following = 2;
        else if ((b & 0xF8) == 0xF0)
            following = 3;
        else if ((b & 0xFC) == 0xF8)
            following = 4;
        else if ((b & 0xFE) == 0xFC)
            following = 5;
        else
            return false;
        for (; following > 0; --following) {
            if (i >= c.size()) return truncated;
            if ((c[i++] & 0xC0) != 0x80) return false;
        }
    }
    return true;
}

std::wstring utf16Encoding(Bytes c) {
    // The tests that tell UTF-16 from other text; the null-byte test is not asked for, since
    // UTF-16 of ASCII text is full of zero bytes. Content beyond INT_MAX bytes is judged by its
    // first INT_MAX bytes, the most the call can take.
    int result =
        IS_TEXT_UNICODE_UNICODE_MASK | IS_TEXT_UNICODE_REVERSE_MASK | IS_TEXT_UNICODE_NOT_UNICODE_MASK;
    const int size = static_cast<int>(std::min<size_t>(c.size(), INT_MAX));
    if (IsTextUnicode(c.data(), size, &result) &&
        !(result & (IS_TEXT_UNICODE_ODD_LENGTH | IS_TEXT_UNICODE_NULL_BYTES))) {
        static const std::pair<int, const wchar_t*> flags[] = {
            {0x1, L" with zero-extended ASCII characters"},
            {0x10, L" with byte-reversed zero-extended ASCII characters"},
            {0x2, L" with the determination made by applying statistical analysis"},
            {0x20, L" byte-reversed with the determination made by applying statistical analysis"},
            {0x4, L" with one or more of control characters"},
            {0x40, L" byte-reversed with one or more of control characters"},
            {0x8, L" with the Unicode byte-order mark in the first character"},
            {0x80, L" byte-reversed with the Unicode byte-order mark in the first character"},
            {0x100, L" with Unicode-illegal characters"},
        };
        std::wstring encoding = L"Microsoft Unicode";
        for (const auto& [flag, words] : flags)
            if (result & flag) encoding += words;
        return encoding;
    }
    if (c.size() < 2) return {};
    bool little = c[0] == 0xFF && c[1] == 0xFE;
    bool big = c[0] == 0xFE && c[1] == 0xFF;
    if (!little && !big) return {};
    for (size_t i = 2; i + 1 < c.size(); i += 2) {
        unsigned unit = little ? c[i] | (c[i + 1] << 8) : (c[i] << 8) | c[i + 1];
        if (unit == 0xFFFE) return {};
        if (unit < 0x80 && classOf(static_cast<unsigned char>(unit)) != CharClass::T) return {};
    }
    return little ? L"Little-endian UTF-16 Unicode" : L"Big-endian UTF-16 Unicode";
}

Answer classify(Bytes content, bool truncated) {
    if (std::wstring kind = tarKind(content); !kind.empty()) return {L"", kind, false};
    if (std::wstring kind = imageKind(content); !kind.empty()) return {L"", kind, false};
    const unsigned text = bit(CharClass::T), iso = text | bit(CharClass::I),
                   extended = iso | bit(CharClass::X);
    if (allOf(content, text)) return {L"ASCII", L"text", true};
    if (isUtf8(content, truncated)) return {L"UTF-8 Unicode", L"text", true};
    if (std::wstring encoding = utf16Encoding(content); !encoding.empty())
        return {encoding, L"character data", true};
    if (allOf(content, iso)) return {L"ISO-8859", L"text", true};
    if (allOf(content, extended)) return {L"Non-ISO extended-ASCII", L"text", true};
    if (allOf(content, text, true)) return {L"EBCDIC", L"character data", true};
    if (allOf(content, iso, true)) return {L"International EBCDIC", L"character data", true};
    if (startsWith(content, std::string_view("\x00\x01\x00\x00Standard Jet DB", 19)))
        return {L"jet", L"database", true};
    return {L"binary", L"data", true};
}

} // namespace contenttype
