// The eight advanced rights of the permission document, the Windows masks that stand for them,
// and the four-way Control summary shown beside each advanced entry.
#pragma once
#include <array>

#include <windows.h>

namespace permissions {

struct AdvancedRight {
    DWORD bit;
    const wchar_t* name;
    DWORD mask; // every bit is needed to hold the right; setting it writes exactly this mask
};
extern const std::array<AdvancedRight, 8> kAdvancedRights;

inline constexpr DWORD kDeleteSubfoldersAndFiles = 0x10;
inline constexpr DWORD kFullFolderRights = 0xFF;
// A file has no DeleteSubfoldersandFiles.
inline constexpr DWORD kFullFileRights = 0xEF;
inline DWORD fullRights(bool file) {
    return file ? kFullFileRights : kFullFolderRights;
}

// The advanced rights a folded mask holds.
DWORD advancedRightsOf(DWORD foldedMask);
// The Windows mask written for the rights.
DWORD windowsMaskOf(DWORD rights);

// Control bits: Read 1, Write 2, Execute 4; Full is all four.
inline constexpr DWORD kControlRead = 1, kControlWrite = 2, kControlExecute = 4, kControlFull = 0xF;
DWORD controlOf(DWORD rights, bool file);

} // namespace permissions
