// The contents of one directory as one enumeration of it delivers them: the tree operations read
// every name, attribute, junction mark, time and size from here and never query an entry again.
#pragma once
#include "paths/NormalPath.h"
#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

namespace files {

struct DirectoryEntry {
    std::wstring name;
    DWORD attributes = 0;
    // A reparse point whose tag is a name surrogate (mount points, symbolic links): it stands
    // for another directory, whose contents are not this tree's.
    bool isJunction = false;
    bool isReparsePoint = false;
    // Seconds since 1970-01-01 00:00 UTC.
    int64_t creationTime = 0;
    int64_t lastWriteTime = 0;
    int64_t lastAccessTime = 0;
    uint64_t size = 0;
};

struct DirectoryListing {
    paths::NormalPath path;
    // Entries with FILE_ATTRIBUTE_DIRECTORY, "." and ".." included (consumers skip them), in
    // enumeration order.
    std::vector<DirectoryEntry> directories;
    std::vector<DirectoryEntry> files;
};

// The enumerated entry is a reparse point whose tag is a name surrogate (a junction).
bool isJunction(const WIN32_FIND_DATAW& data);

// "." and "..": kept in the listing, never acted on.
bool isDotEntry(const DirectoryEntry& entry);

// Seconds since 1970-01-01 UTC of a FILETIME (100 ns units since 1601-01-01 UTC).
int64_t unixSeconds(const FILETIME& time);

// Enumerates the directory once. A missing path, or one that is not a directory, gives an empty
// listing; on access denied the process grants itself access and tries again (a bounded number
// of times); other failures raise "Unable to read directory (%s)". An entry that fails midway
// raises as well: a listing never silently lacks entries.
DirectoryListing listDirectory(const paths::NormalPath& path);
// Lists `parent` joined with the entry's name.
DirectoryListing listDirectory(const paths::NormalPath& parent, const DirectoryEntry& entry);

// The entry of what FindFirstFileW or FindNextFileW found.
DirectoryEntry entryOf(const WIN32_FIND_DATAW& data);

} // namespace files
