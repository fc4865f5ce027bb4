// A whole file mapped read-only into the address space: its content without copying it into the
// heap, so that a file of any size can be examined with bounded memory.
#pragma once
#include "platform/Handle.h"

#include <span>

#include <windows.h>

namespace files {

class MappedFile {
public:
    // Maps the file open on `file` (it needs read access). Raises "Unable to read file" with the
    // error when it cannot be mapped. An empty file maps to an empty content.
    explicit MappedFile(HANDLE file);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::span<const unsigned char> content() const { return {view_, size_}; }

private:
    platform::Handle mapping_;
    const unsigned char* view_ = nullptr;
    size_t size_ = 0;
};

} // namespace files
