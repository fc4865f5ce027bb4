#include "db/DatabaseText.h"

#include "app/Exceptions.h"
#include "app/Text.h"

#include <idn-free.h>
#include <stringprep.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace db {
namespace {

struct IdnFree {
    void operator()(char* p) const { idn_free(p); }
};

} // namespace

std::string toDatabaseText(std::wstring_view text) {
    if (text.empty()) return {};
    std::vector<uint32_t> ucs4;
    ucs4.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint32_t>(text[i + 1]) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            raisePlainError(L"Invalid UTF-16 text for the database");
        }
        ucs4.push_back(c);
    }
    // libidn ends its conversion at a NUL: the pieces between NULs are converted one by one.
    std::string result;
    size_t start = 0;
    for (;;) {
        size_t end = start;
        while (end < ucs4.size() && ucs4[end] != 0)
            ++end;
        if (end > start) {
            size_t written = 0;
            std::unique_ptr<char, IdnFree> utf8(stringprep_ucs4_to_utf8(
                ucs4.data() + start, static_cast<ssize_t>(end - start), nullptr, &written));
            if (!utf8) raisePlainError(L"Unable to convert text to UTF-8");
            result.append(utf8.get(), written);
        }
        if (end == ucs4.size()) return result;
        result += '\0';
        start = end + 1;
    }
}

std::wstring fromDatabaseText(std::string_view utf8) {
    return text::fromUtf8(utf8);
}

} // namespace db
