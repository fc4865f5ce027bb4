#include "security/FileRights.h"

namespace security {

DWORD foldGeneric(DWORD mask) {
    GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    MapGenericMask(&mask, &mapping);
    return mask;
}

const std::array<FileRight, 13> kFileRights = {{
    {0x1, L"TraverseFolderOrExecuteFile", 0x100020},
    {0x2, L"ListFolderOrReadData", 0x100001},
    {0x4, L"ReadAttributes", 0x100080},
    {0x8, L"ReadExtendedAttributes", 0x100008},
    {0x10, L"CreateFilesOrWriteData", 0x100002},
    {0x20, L"CreateFoldersOrAppend", 0x100004},
    {0x40, L"WriteAttributes", 0x100100},
    {0x80, L"WriteExtendedAttributes", 0x100010},
    {0x100, L"DeleteSubfoldersandFiles", 0x100040},
    {0x200, L"Delete", 0x10000},
    {0x400, L"ReadPermissions", 0x20000},
    {0x800, L"ChangePermissions", 0x40000},
    {0x1000, L"TakeOwnership", 0x80000},
}};

DWORD rightsOf(DWORD mask) { return rightsHeld(kFileRights, mask); }

const std::array<ApplyOnto, 7> kApplyOntoTable = {{
    {4, 0x9, L"files only"},
    {2, 0xA, L"subfolders only"},
    {6, 0xB, L"subfolders and files only"},
    {1, 0x0, L"this object only"},
    {5, 0x1, L"this folder and files"},
    {3, 0x2, L"this folder and subfolders"},
    {7, 0x3, L"this folder, subfolders and files"},
}};

std::optional<ApplyOnto> applyOntoRow(BYTE flags) {
    BYTE wanted = flags & ~INHERITED_ACE;
    for (const ApplyOnto& row : kApplyOntoTable)
        if (row.flags == wanted) return row;
    return std::nullopt;
}

DWORD applyOntoOf(BYTE flags) {
    std::optional<ApplyOnto> row = applyOntoRow(flags);
    return row ? row->applyOnto : kApplyThisObject;
}

} // namespace security
