// The first bytes of a file, read into a buffer of bounded size: what the content tests judge.
// A departure from reading (or mapping) the whole file: that made one large file cost gigabytes
// of memory and seconds of I/O. Like the Unix file utility, a file longer than the prefix is
// judged by its prefix.
#pragma once
#include <cstddef>
#include <span>
#include <vector>

#include <windows.h>

namespace files {

class FilePrefix {
public:
    // 1 MiB, the Unix file utility's default read.
    static constexpr size_t kDefaultLimit = size_t(1) << 20;

    // Reads from the current position of `file` (it needs read access) until the end or `limit`
    // bytes. "Unable to read file" with the error when a read fails (a broken pipe ends the
    // content instead).
    explicit FilePrefix(HANDLE file, size_t limit = kDefaultLimit);

    std::span<const unsigned char> content() const { return bytes_; }
    // The file goes on past the prefix.
    bool truncated() const { return truncated_; }

private:
    std::vector<unsigned char> bytes_;
    bool truncated_ = false;
};

} // namespace files
