// The kind of a file's content: tar header, image signatures, text encodings, Jet database or
// plain data, decided from the bytes alone.
#pragma once
#include <cstdint>
#include <span>
#include <string>

namespace contenttype {

using Bytes = std::span<const unsigned char>;

struct Answer {
    std::wstring encoding; // empty for archives and images
    std::wstring kind;
    bool named = false; // a text, character-data, database or data answer: the extension is shown
};

// Character classes of the text tests: never text, text, ISO-8859, extended.
enum class CharClass : unsigned char { F, T, I, X };
CharClass classOf(unsigned char byte);
// The byte of `byte` read as EBCDIC, in ASCII.
unsigned char fromEbcdic(unsigned char byte);

// A tar header in the first 512 bytes: "POSIX tar archive\n", "tar archive\n", or empty.
std::wstring tarKind(Bytes content);
// An image signature at the start: "GIF image\n" and the like, or empty.
std::wstring imageKind(Bytes content);
bool isXbm(Bytes content);
// Valid UTF-8; for a `truncated` content (the prefix of a longer file) a sequence that the end
// of the prefix cuts off counts as valid.
bool isUtf8(Bytes content, bool truncated = false);
// The UTF-16 encoding name ("Microsoft Unicode ...", "Little-endian UTF-16 Unicode", ...) or empty.
std::wstring utf16Encoding(Bytes content);

// All content tests in their order; the answer always has a kind. `truncated`: the content is
// the prefix of a longer file.
Answer classify(Bytes content, bool truncated = false);

} // namespace contenttype
