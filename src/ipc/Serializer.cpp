#include "ipc/Serializer.h"

#include "app/Exceptions.h"
#include "app/Text.h"

namespace vserializer {
namespace {

[[noreturn]] void invalid(const wchar_t* message, ErrorContext where = {}) {
    throw invalidprotocol(message, std::move(where));
}

void putLe(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint64_t getLe(std::string_view in, int bytes) {
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(in[i]);
    return value;
}

} // namespace

writer& writer::putRaw32(uint32_t value) {
    putLe(bytes_, value, 4);
    return *this;
}

writer& writer::putBytes(std::string_view bytes) {
    bytes_ += bytes;
    return *this;
}

writer& writer::putText(std::wstring_view text) {
    putRaw32(static_cast<uint32_t>(2 * text.size() + 1));
    bytes_ += '\2';
    for (wchar_t c : text) putLe(bytes_, static_cast<uint16_t>(c), 2);
    return *this;
}

writer& writer::putNarrowText(std::string_view text) {
    putRaw32(static_cast<uint32_t>(text.size() + 1));
    bytes_ += '\1';
    bytes_ += text;
    return *this;
}

writer& writer::putInt(int32_t value) {
    putRaw32(4);
    return putRaw32(static_cast<uint32_t>(value));
}

writer& writer::putGuid(const GUID& id) {
    putRaw32(16);
    putLe(bytes_, id.Data1, 4);
    putLe(bytes_, id.Data2, 2);
    putLe(bytes_, id.Data3, 2);
    bytes_.append(reinterpret_cast<const char*>(id.Data4), sizeof id.Data4);
    return *this;
}

writer& writer::putError(std::wstring_view message) {
    putRaw32(kErrorMarker);
    return putText(message);
}

uint32_t reader::readLength() {
    return static_cast<uint32_t>(getLe(readBlock(4), 4));
}

std::string_view reader::readBlock(uint32_t length) {
    if (data_.size() - position_ < length) invalid(L"Unexpected end of data when read from serializer.");
    std::string_view block = data_.substr(position_, length);
    position_ += length;
    return block;
}

bool reader::errorAhead() const {
    return data_.size() - position_ >= 4 && getLe(data_.substr(position_, 4), 4) == kErrorMarker;
}

std::wstring reader::readText() {
    if (!errorAhead()) return readPlainText();
    position_ += 4;
    std::wstring message;
    try {
        message = readPlainText();
    } catch (...) {
        invalid(L"Double exception on read from serializer");
    }
    raisePlainError(message);
}

std::wstring reader::readPlainText() {
    uint32_t length = readLength();
    if (length == kErrorMarker) invalid(L"Double exception on read from serializer");
    std::string_view block = readBlock(length);
    if (block.empty()) invalid(L"Unexpected end of data when read C-string from serializer.");
    std::string_view chars = block.substr(1);
    if (block[0] == 1) return text::fromAnsi(chars);
    if (block[0] != 2) invalid(L"Unsupported char size when read C-string from serializer.");
    std::wstring out(chars.size() / 2, L'\0');
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<wchar_t>(getLe(chars.substr(2 * i, 2), 2));
    return out;
}

int32_t reader::readInt() {
    if (readLength() != 4) invalid(L"Unexpected block length of an integer when read from serializer.");
    return static_cast<int32_t>(getLe(readBlock(4), 4));
}

GUID reader::readGuid() {
    if (readLength() != 16) invalid(L"Unexpected block length of an identifier when read from serializer.");
    std::string_view block = readBlock(16);
    GUID id{};
    id.Data1 = static_cast<unsigned long>(getLe(block, 4));
    id.Data2 = static_cast<unsigned short>(getLe(block.substr(4), 2));
    id.Data3 = static_cast<unsigned short>(getLe(block.substr(6), 2));
    for (size_t i = 0; i < 8; ++i) id.Data4[i] = static_cast<unsigned char>(block[8 + i]);
    return id;
}

} // namespace vserializer
