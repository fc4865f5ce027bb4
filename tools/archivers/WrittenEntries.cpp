#include "WrittenEntries.h"

#include <windows.h>

namespace archivers {

WrittenEntries::WrittenEntries(std::wstring directory) : base_(std::move(directory)) {
    // Deep trees pass MAX_PATH: the "\\?\" form has no length limit.
    if (base_.compare(0, 4, L"\\\\?\\") != 0) base_ = L"\\\\?\\" + base_;
    if (base_.back() != L'\\') base_ += L'\\';
}

bool WrittenEntries::aboutToWrite(const std::wstring& relative) {
    for (size_t cut = relative.find(L'\\');; cut = relative.find(L'\\', cut + 1)) {
        std::wstring part = relative.substr(0, cut);
        bool fresh = seen_.insert(part).second;
        bool absent = fresh && GetFileAttributesW((base_ + part).c_str()) == INVALID_FILE_ATTRIBUTES;
        if (absent) created_.push_back(part);
        if (cut == std::wstring::npos) return !fresh || absent;
    }
}

// Entries are written with ordinary permissions, never read-only. A removal that fails still
// leaves the refusal standing: the caller that made the working directory takes it away whole.
WrittenEntries::~WrittenEntries() {
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) {
        std::wstring path = base_ + *it;
        DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) continue;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            RemoveDirectoryW(path.c_str());
        else
            DeleteFileW(path.c_str());
    }
}

} // namespace archivers
