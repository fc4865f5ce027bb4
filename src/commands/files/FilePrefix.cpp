#include "commands/files/FilePrefix.h"

#include "app/Exceptions.h"

#include <algorithm>

namespace files {
namespace {

constexpr DWORD kPieceSize = 4096;

// One read of at most `size` bytes; 0 at the end of the file.
DWORD readPiece(HANDLE file, unsigned char* into, DWORD size) {
    DWORD read = 0;
    if (ReadFile(file, into, size, &read, nullptr)) return read;
    DWORD error = GetLastError();
    if (error == ERROR_BROKEN_PIPE) return 0;
    raiseRunTimeError(error, L"Unable to read file");
}

} // namespace

FilePrefix::FilePrefix(HANDLE file, size_t limit) {
    // One byte past the limit tells a file of exactly `limit` bytes from a longer one.
    bytes_.resize(limit + 1);
    size_t filled = 0;
    while (filled < bytes_.size()) {
        const DWORD want = static_cast<DWORD>(std::min<size_t>(kPieceSize, bytes_.size() - filled));
        const DWORD read = readPiece(file, bytes_.data() + filled, want);
        if (read == 0) break;
        filled += read;
    }
    truncated_ = filled > limit;
    bytes_.resize(std::min(filled, limit));
}

} // namespace files
