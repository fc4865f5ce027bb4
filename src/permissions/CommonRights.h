// The six common rights (Read, Write, ReadAndExecute, ListFolderContents, Modify, FullControl),
// each defined by rows of advanced rights and apply-onto, and the ways between the advanced and
// the common view.
#pragma once
#include "permissions/PermissionEntries.h"

#include <array>
#include <vector>

namespace permissions {

struct CommonRight {
    DWORD bit;
    const wchar_t* name;
};
// In document (bit) order.
extern const std::array<CommonRight, 6> kCommonRights;

inline constexpr DWORD kCommonRead = 0x1, kCommonWrite = 0x2, kCommonReadAndExecute = 0x4,
                       kCommonListFolderContents = 0x8, kCommonModify = 0x10, kCommonFullControl = 0x20;
// A file has no ListFolderContents.
inline DWORD commonRightsMask(bool file) {
    return file ? 0x37 : 0x3F;
}

struct CommonRow {
    DWORD bit;
    DWORD rights; // advanced rights (FullControl: those of the object kind)
    DWORD applyOnto;
    int group;
};
// The rows in table order, with FullControl's rights for the object kind.
std::vector<CommonRow> commonRows(bool file);

// Folds advanced entries into one common entry per account, accounts in order of first
// appearance. On a file apply-onto is not compared (a file's entries carry none).
std::vector<CommonEntry> foldToCommon(const std::vector<AdvancedEntry>& entries, bool file);

// New explicit advanced entries for one account's common sets: per row (those applying to
// everything first), deny before allow, rights gathered per kind and apply-onto.
std::vector<AdvancedEntry> advancedFromCommon(const CommonEntry& common, bool file);

} // namespace permissions
