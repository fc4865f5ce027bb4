// The block encoding spoken with the panel's management service: every item is a 32-bit
// little-endian block length followed by the block. Texts carry a character-size byte (1: narrow
// text in the system code page, 2: UTF-16); integers are 4-byte blocks; a block length of -1
// announces an error, whose message follows as a text.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include <windows.h>

namespace vserializer {

inline constexpr uint32_t kErrorMarker = 0xFFFFFFFF;

class writer {
public:
    writer& putText(std::wstring_view text);
    writer& putNarrowText(std::string_view text);
    writer& putInt(int32_t value);
    writer& putGuid(const GUID& id);
    // The error answer: the marker, then the message as a text.
    writer& putError(std::wstring_view message);
    // A bare 32-bit little-endian value (block lengths, the total length of a message).
    writer& putRaw32(uint32_t value);
    writer& putBytes(std::string_view bytes);

    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

class reader {
public:
    explicit reader(std::string_view data) : data_(data) {}

    // A text block; an error block raises the service's message as a vexception.
    std::wstring readText();
    int32_t readInt();
    GUID readGuid();
    bool atEnd() const { return position_ == data_.size(); }
    // True when the next item is an error block.
    bool errorAhead() const;

private:
    std::wstring readPlainText();
    uint32_t readLength();
    std::string_view readBlock(uint32_t length);

    std::string_view data_;
    size_t position_ = 0;
};

} // namespace vserializer
