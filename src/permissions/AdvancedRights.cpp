#include "permissions/AdvancedRights.h"

#include "security/FileRights.h"

namespace permissions {

const std::array<AdvancedRight, 8> kAdvancedRights = {{
    {0x1, L"TraverseFolderOrExecuteFile", 0x20},
    {0x2, L"ListFolderOrRead", 0x20089},
    {0x4, L"CreateFilesOrWrite", 0x112},
    {0x8, L"CreateFoldersOrAppend", 0x4},
    {0x10, L"DeleteSubfoldersandFiles", 0x40},
    {0x20, L"Delete", 0x10000},
    {0x40, L"ChangePermissions", 0x40000},
    {0x80, L"TakeOwnership", 0x80000},
}};

DWORD advancedRightsOf(DWORD foldedMask) { return security::rightsHeld(kAdvancedRights, foldedMask); }

DWORD windowsMaskOf(DWORD rights) {
    DWORD mask = 0;
    for (const AdvancedRight& right : kAdvancedRights)
        if (rights & right.bit) mask |= right.mask;
    return mask;
}

DWORD controlOf(DWORD rights, bool file) {
    if (rights == fullRights(file)) return kControlFull;
    DWORD control = 0;
    if (rights & 0x2) control |= kControlRead;
    if ((rights & 0xC) == 0xC) control |= kControlWrite;
    if (rights & 0x1) control |= kControlExecute;
    return control;
}

} // namespace permissions
