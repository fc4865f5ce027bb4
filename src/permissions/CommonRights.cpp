#include "permissions/CommonRights.h"

#include "permissions/AdvancedRights.h"

#include <algorithm>

namespace permissions {
namespace {

constexpr DWORD kApplyAll = 7;
constexpr int kListGroup = 2;

bool contains(DWORD whole, DWORD part) {
    return (whole & part) == part;
}

bool rowMatches(const CommonRow& row, const AdvancedEntry& entry, bool file) {
    return contains(entry.rights, row.rights) && (file || contains(entry.applyOnto, row.applyOnto));
}

// The list-folder rows count only together: each must be matched by an entry of the account of
// the same kind (allow or deny).
bool listRowsComplete(const std::vector<CommonRow>& rows, const std::vector<AdvancedEntry>& entries,
                      const AccountKey& account, bool allow, bool file) {
    for (const CommonRow& row : rows) {
        if (row.group != kListGroup) continue;
        bool found = std::any_of(entries.begin(), entries.end(), [&](const AdvancedEntry& e) {
            return e.account == account && e.allow == allow && rowMatches(row, e, file);
        });
        if (!found) return false;
    }
    return true;
}

CommonEntry& entryOf(std::vector<CommonEntry>& common, const AccountKey& account) {
    auto it = std::find_if(common.begin(), common.end(),
                           [&](const CommonEntry& c) { return c.account == account; });
    if (it != common.end()) return *it;
    common.push_back({account, 0, 0});
    return common.back();
}

} // namespace

const std::array<CommonRight, 6> kCommonRights = {{
    {kCommonRead, L"Read"},
    {kCommonWrite, L"Write"},
    {kCommonReadAndExecute, L"ReadAndExecute"},
    {kCommonListFolderContents, L"ListFolderContents"},
    {kCommonModify, L"Modify"},
    {kCommonFullControl, L"FullControl"},
}};

std::vector<CommonRow> commonRows(bool file) {
    return {
        {kCommonRead, 0x2, kApplyAll, 0},
        {kCommonWrite, 0xC, kApplyAll, 0},
        {kCommonReadAndExecute, 0x3, kApplyAll, 1},
        {kCommonModify, 0x2F, kApplyAll, 1},
        {kCommonFullControl, fullRights(file), kApplyAll, 3},
        {kCommonListFolderContents, 0x3, 3, kListGroup},
        {kCommonListFolderContents, 0x2, 4, kListGroup},
    };
}

std::vector<CommonEntry> foldToCommon(const std::vector<AdvancedEntry>& entries, bool file) {
    const std::vector<CommonRow> rows = commonRows(file);
    std::vector<CommonEntry> common;
    for (const AdvancedEntry& entry : entries)
        entryOf(common, entry.account);
    for (bool everythingOnly : {true, false}) {
        for (const AdvancedEntry& entry : entries) {
            CommonEntry& target = entryOf(common, entry.account);
            for (const CommonRow& row : rows) {
                if (everythingOnly && row.applyOnto != kApplyAll) continue;
                if (file && row.bit == kCommonListFolderContents) continue;
                if (!rowMatches(row, entry, file)) continue;
                if (row.group == kListGroup &&
                    !listRowsComplete(rows, entries, entry.account, entry.allow, file))
                    continue;
                (entry.allow ? target.allow : target.deny) |= row.bit;
            }
        }
    }
    return common;
}

std::vector<AdvancedEntry> advancedFromCommon(const CommonEntry& common, bool file) {
    std::vector<AdvancedEntry> out;
    auto add = [&](bool allow, const CommonRow& row) {
        DWORD applyOnto = file ? 0 : row.applyOnto;
        auto it = std::find_if(out.begin(), out.end(), [&](const AdvancedEntry& e) {
            return e.allow == allow && e.applyOnto == applyOnto;
        });
        if (it == out.end()) {
            out.push_back({common.account, L"", 0, allow, applyOnto});
            it = out.end() - 1;
        }
        it->rights |= row.rights;
        if (file) it->rights &= kFullFileRights;
    };
    const std::vector<CommonRow> rows = commonRows(file);
    for (bool everythingOnly : {true, false}) {
        for (const CommonRow& row : rows) {
            if ((row.applyOnto == kApplyAll) != everythingOnly) continue;
            if (file && row.bit == kCommonListFolderContents) continue;
            if (common.deny & row.bit) add(false, row);
            if (common.allow & row.bit) add(true, row);
        }
    }
    return out;
}

} // namespace permissions
