// The file access arithmetic: folding of generic bits, the thirteen named file rights, and the
// apply-onto values that stand for an entry's inheritance flags.
#pragma once
#include <array>
#include <optional>

#include <windows.h>

namespace security {

// GENERIC_READ/WRITE/EXECUTE/ALL replaced by the file rights they stand for.
DWORD foldGeneric(DWORD mask);

struct FileRight {
    DWORD bit;
    const wchar_t* name;
    DWORD mask; // every bit is needed to hold the right
};
extern const std::array<FileRight, 13> kFileRights;
inline constexpr DWORD kAllFileRights = 0x1FFF;

// The bits of the rows of a rights table (rows with `bit` and `mask`) whose whole mask `mask` holds.
template <class Table> DWORD rightsHeld(const Table& table, DWORD mask) {
    DWORD rights = 0;
    for (const auto& right : table)
        if ((mask & right.mask) == right.mask) rights |= right.bit;
    return rights;
}

// The right bits a (folded) mask holds.
DWORD rightsOf(DWORD mask);

// Apply-onto bits: this object, subfolders, files.
inline constexpr DWORD kApplyThisObject = 1, kApplySubfolders = 2, kApplyFiles = 4;

struct ApplyOnto {
    DWORD applyOnto;
    BYTE flags;
    const wchar_t* phrase;
};
extern const std::array<ApplyOnto, 7> kApplyOntoTable;

// The row for an entry's flags (INHERITED_ACE ignored); nothing when no row matches.
std::optional<ApplyOnto> applyOntoRow(BYTE flags);
// The apply-onto value of an entry's flags; flags that match no row read as this object only.
DWORD applyOntoOf(BYTE flags);

} // namespace security
