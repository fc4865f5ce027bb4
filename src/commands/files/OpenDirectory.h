// Opening a directory as a handle, creating it (or replacing what is there) as asked.
#pragma once
#include "paths/NormalPath.h"
#include "platform/Handle.h"

#include <string>

#include <windows.h>

namespace files {

// The values are the CreateFileW dispositions they stand for.
enum class Disposition : DWORD {
    CreateNew = CREATE_NEW,       // create; an existing path fails
    CreateAlways = CREATE_ALWAYS, // move what is there into the volume's trash, then create
    OpenExisting = OPEN_EXISTING, // create nothing
    OpenAlways = OPEN_ALWAYS,     // create when missing
};

// The access and sharing of the tree operations: enough to read or set a reparse point.
constexpr DWORD kTreeAccess = SYNCHRONIZE | FILE_TRAVERSE;
constexpr DWORD kTreeShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Opens parent joined with name (name may be empty: then parent is the path) as a directory
// (backup semantics). A path that is a file raises "Path (%s) is a file". A directory this call
// creates is opened with DELETE access added. The open is tried `attempts` times (0 counts as 1).
platform::FileHandle openDirectory(const paths::NormalPath& parent, const std::wstring& name, DWORD access, DWORD share,
                                   Disposition disposition, bool overlapped, bool openReparsePoint, int attempts);
// The way the tree operations open a directory: kTreeAccess, kTreeShare, the reparse point itself.
platform::FileHandle openTreeDirectory(const paths::NormalPath& path, Disposition disposition, int attempts);

} // namespace files
