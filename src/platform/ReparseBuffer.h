// The layout of a reparse buffer as FSCTL_GET_REPARSE_POINT returns it and FSCTL_SET_REPARSE_POINT
// takes it: the user-mode headers of mingw-w64 do not declare REPARSE_DATA_BUFFER.
#pragma once
#include <windows.h>

namespace platform {

constexpr DWORD kMountPointTag = 0xA0000003;   // IO_REPARSE_TAG_MOUNT_POINT
constexpr DWORD kSymbolicLinkTag = 0xA000000C; // IO_REPARSE_TAG_SYMLINK

// The head of a reparse buffer of the mount-point layout; the path buffer follows it. (A symbolic
// link has a flags word more before its path buffer.)
struct MountPointHead {
    DWORD tag;
    WORD dataLength;
    WORD reserved;
    WORD substituteOffset;
    WORD substituteLength;
    WORD printOffset;
    WORD printLength;
};
static_assert(sizeof(MountPointHead) == 16);

} // namespace platform
