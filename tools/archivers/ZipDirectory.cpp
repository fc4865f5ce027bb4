#include "ZipDirectory.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace archivers {
namespace {

constexpr uint32_t kEndOfDirectory = 0x06054b50;
constexpr uint32_t kZip64Locator = 0x07064b50;
constexpr uint32_t kZip64End = 0x06064b50;
constexpr uint32_t kCentralEntry = 0x02014b50;
constexpr uint32_t kLocalHeader = 0x04034b50;
constexpr uint16_t kZip64Extra = 0x0001;
constexpr uint16_t kUnicodePathExtra = 0x7075;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kCentralEntrySize = 46;
constexpr size_t kLocalHeaderSize = 30;

struct Damaged {
    std::string reason;
};

uint16_t u16(const std::vector<uint8_t>& b, size_t at) {
    if (at + 2 > b.size()) throw Damaged{"a damaged zip directory"};
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
uint32_t u32(const std::vector<uint8_t>& b, size_t at) {
    return u16(b, at) | static_cast<uint32_t>(u16(b, at + 2)) << 16;
}
uint64_t u64(const std::vector<uint8_t>& b, size_t at) {
    return u32(b, at) | static_cast<uint64_t>(u32(b, at + 4)) << 32;
}

// The archive opened for reading records at given offsets; owns its handle.
class ArchiveFile {
public:
    explicit ArchiveFile(const std::wstring& path)
        : handle_(
              CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)) {
        LARGE_INTEGER size{};
        if (handle_ == INVALID_HANDLE_VALUE || !GetFileSizeEx(handle_, &size))
            throw Damaged{"cannot open the archive"};
        size_ = static_cast<uint64_t>(size.QuadPart);
    }
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;
    ~ArchiveFile() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    uint64_t size() const { return size_; }
    std::vector<uint8_t> read(uint64_t offset, uint64_t length) const {
        if (offset > size_ || length > size_ - offset)
            throw Damaged{"a zip record beyond the end of the archive"};
        std::vector<uint8_t> bytes(static_cast<size_t>(length));
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        if (length &&
            (!ReadFile(handle_, bytes.data(), static_cast<DWORD>(length), &got, &at) || got != length))
            throw Damaged{"cannot read the archive"};
        return bytes;
    }

private:
    HANDLE handle_;
    uint64_t size_ = 0;
};

// The central directory's offset and size, from the end record (and the zip64 end
// record where the end record's fields overflow).
struct Directory {
    uint64_t offset = 0, size = 0;
};

Directory findDirectory(const ArchiveFile& file) {
    if (file.size() < kEndRecordSize) throw Damaged{"no zip directory"};
    uint64_t tailLength = std::min<uint64_t>(file.size(), kEndRecordSize + 0xFFFF);
    uint64_t tailStart = file.size() - tailLength;
    std::vector<uint8_t> tail = file.read(tailStart, tailLength);
    for (size_t at = tail.size() - kEndRecordSize + 1; at-- > 0;) {
        if (u32(tail, at) != kEndOfDirectory || at + kEndRecordSize + u16(tail, at + 20) > tail.size())
            continue;
        Directory d{u32(tail, at + 16), u32(tail, at + 12)};
        if ((d.offset == 0xFFFFFFFF || d.size == 0xFFFFFFFF || u16(tail, at + 10) == 0xFFFF) && at >= 20 &&
            u32(tail, at - 20) == kZip64Locator) {
            std::vector<uint8_t> end = file.read(u64(tail, at - 20 + 8), 56);
            if (u32(end, 0) != kZip64End) throw Damaged{"a damaged zip64 directory"};
            d = {u64(end, 48), u64(end, 40)};
        }
        return d;
    }
    throw Damaged{"no zip directory"};
}

// The extra field of the given id inside an extra block, or nothing.
std::optional<std::vector<uint8_t>> extraField(const std::vector<uint8_t>& extra, uint16_t id) {
    for (size_t at = 0; at + 4 <= extra.size();) {
        size_t length = u16(extra, at + 2);
        if (at + 4 + length > extra.size()) throw Damaged{"a damaged zip extra field"};
        if (u16(extra, at) == id)
            return std::vector<uint8_t>(extra.begin() + at + 4, extra.begin() + at + 4 + length);
        at += 4 + length;
    }
    return std::nullopt;
}

// The local header's offset: the central entry's, or its zip64 extra field's when it overflows
// (the field holds the 64-bit sizes that overflowed first, then the offset).
uint64_t localOffset(const std::vector<uint8_t>& entry, const std::vector<uint8_t>& extra) {
    uint64_t offset = u32(entry, 42);
    if (offset != 0xFFFFFFFF) return offset;
    std::optional<std::vector<uint8_t>> zip64 = extraField(extra, kZip64Extra);
    if (!zip64) throw Damaged{"a damaged zip64 entry"};
    size_t at = (u32(entry, 24) == 0xFFFFFFFF ? 8 : 0) + (u32(entry, 20) == 0xFFFFFFFF ? 8 : 0);
    return u64(*zip64, at);
}

bool holdsNul(const std::vector<uint8_t>& name) {
    for (uint8_t c : name)
        if (c == 0) return true;
    return false;
}

} // namespace

std::optional<std::string> zipNameDisagreement(const std::wstring& path) {
    try {
        ArchiveFile file(path);
        Directory directory = findDirectory(file);
        std::vector<uint8_t> central = file.read(directory.offset, directory.size);
        for (size_t at = 0; at < central.size();) {
            if (u32(central, at) != kCentralEntry) throw Damaged{"a damaged zip directory"};
            size_t nameLength = u16(central, at + 28), extraLength = u16(central, at + 30),
                   commentLength = u16(central, at + 32);
            size_t next = at + kCentralEntrySize + nameLength + extraLength + commentLength;
            if (next > central.size()) throw Damaged{"a damaged zip directory"};
            std::vector<uint8_t> entry(central.begin() + at, central.begin() + at + kCentralEntrySize);
            auto nameStart = central.begin() + at + kCentralEntrySize;
            std::vector<uint8_t> name(nameStart, nameStart + nameLength);
            std::vector<uint8_t> extra(nameStart + nameLength, nameStart + nameLength + extraLength);
            at = next;

            std::vector<uint8_t> local = file.read(localOffset(entry, extra), kLocalHeaderSize);
            if (u32(local, 0) != kLocalHeader) throw Damaged{"an entry without its local header"};
            uint64_t localName = localOffset(entry, extra) + kLocalHeaderSize;
            std::vector<uint8_t> ownName = file.read(localName, u16(local, 26));
            std::vector<uint8_t> ownExtra = file.read(localName + ownName.size(), u16(local, 28));
            if (holdsNul(name) || holdsNul(ownName)) return "an entry name holding a NUL";
            if (ownName != name ||
                extraField(ownExtra, kUnicodePathExtra) != extraField(extra, kUnicodePathExtra))
                return "an entry whose central directory and local header disagree on its name";
        }
        return std::nullopt;
    } catch (const Damaged& damaged) {
        return damaged.reason;
    }
}

} // namespace archivers
