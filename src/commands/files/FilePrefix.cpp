#include "commands/files/MappedFile.h"

#include "app/Exceptions.h"

namespace files {

MappedFile::MappedFile(HANDLE file) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) raiseRunTimeError(GetLastError(), L"Unable to read file");
    if (size.QuadPart == 0) return; // a mapping of nothing cannot be made
    mapping_.reset(CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping_) raiseRunTimeError(GetLastError(), L"Unable to read file");
    view_ = static_cast<const unsigned char*>(MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, 0));
    if (view_ == nullptr) raiseRunTimeError(GetLastError(), L"Unable to read file");
    size_ = static_cast<size_t>(size.QuadPart);
}

MappedFile::~MappedFile() {
    if (view_) UnmapViewOfFile(view_);
}

} // namespace files
