#include "commands/files/TrashClaim.h"

#include "platform/Platform.h"

namespace files {
namespace {

// Sharing is only checked against opens that read, write or delete: a handle with attributes or
// SYNCHRONIZE access alone would refuse nobody, so the mark reads (lists) the item.
constexpr DWORD kMarkAccess = FILE_READ_DATA | SYNCHRONIZE;
// No FILE_SHARE_DELETE: while the mark is open, every open that asks for DELETE (DeleteFileW,
// RemoveDirectoryW, MoveFileExW among them) fails with ERROR_SHARING_VIOLATION.
constexpr DWORD kMarkShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
// The item itself, never what a reparse point in the trash leads to.
constexpr DWORD kMarkFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;

DWORD openMark(const std::wstring& path, DWORD access, platform::FileHandle& handle) {
    HANDLE opened = INVALID_HANDLE_VALUE;
    DWORD error = platform::current().createFile(path, access, kMarkShare, OPEN_EXISTING, kMarkFlags, &opened);
    if (error == ERROR_SUCCESS) handle = platform::FileHandle(opened);
    return error;
}

} // namespace

TrashClaim TrashClaim::mark(const std::wstring& path) {
    TrashClaim claim;
    openMark(path, kMarkAccess, claim.handle_);
    return claim;
}

DWORD TrashClaim::take(const std::wstring& path, TrashClaim& claim) {
    // Asking for DELETE is what a live mark refuses. The purge then holds a mark of its own, which
    // refuses the next purge in turn; holding DELETE access itself would refuse the enumeration of
    // the item too (Wine's FindFirstFileW does not share delete).
    platform::FileHandle probe;
    if (DWORD error = openMark(path, kMarkAccess | DELETE, probe)) return error;
    probe.reset();
    return openMark(path, kMarkAccess, claim.handle_);
}

} // namespace files
