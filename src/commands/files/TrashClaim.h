// The mark of a live removal on its own item in the trash directory: an open handle that refuses
// deletion and renaming to everyone else. What no live removal marks is what an interrupted one
// left behind, and the next removal on the volume deletes it.
#pragma once
#include "platform/Handle.h"

#include <string>

#include <windows.h>

namespace files {

class TrashClaim {
public:
    // Marks `path` (an item this removal just moved into the trash). A mark that cannot be made
    // (the item refuses reading to this account, say) leaves the removal unmarked: it goes on, at
    // worst sharing its item with another removal's purge.
    static TrashClaim mark(const std::wstring& path);
    // Takes `path` for a purge of what an interrupted removal left: ERROR_SHARING_VIOLATION when a
    // live removal (or another purge) holds it, the open's error otherwise.
    static DWORD take(const std::wstring& path, TrashClaim& claim);

    // Ends the mark: the item's own deletion or rename needs the access the mark refuses.
    void release() { handle_.reset(); }

private:
    platform::FileHandle handle_;
};

} // namespace files
