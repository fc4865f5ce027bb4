#include "permissions/CommonRights.h"

#include <gtest/gtest.h>

namespace {

using namespace permissions;

const AccountKey kAlice{L"VM", L"alice"}, kBob{L"VM", L"bob"};

AdvancedEntry entry(const AccountKey& account, DWORD rights, DWORD applyOnto, bool allow = true) {
    return {account, L"", rights, allow, applyOnto};
}

TEST(CommonRights, FullControlOnAFolderFoldsToEverything) {
    auto common = foldToCommon({entry(kAlice, 0xFF, 7)}, false);
    ASSERT_EQ(common.size(), 1u);
    EXPECT_EQ(common[0].allow, 0x3Fu);
    EXPECT_EQ(common[0].deny, 0u);
}

TEST(CommonRights, OnAFileApplyOntoIsNotComparedAndListFolderContentsDoesNotExist) {
    auto common = foldToCommon({entry(kAlice, 0xEF, 0)}, true);
    ASSERT_EQ(common.size(), 1u);
    EXPECT_EQ(common[0].allow, 0x37u);
}

TEST(CommonRights, ListFolderContentsNeedsBothOfItsRows) {
    // Read and traverse on this folder and subfolders only: the files row is missing.
    EXPECT_EQ(foldToCommon({entry(kAlice, 0x3, 3)}, false)[0].allow, 0u);
    // With the files row from a second entry of the same account, both count.
    auto common = foldToCommon({entry(kAlice, 0x3, 3), entry(kAlice, 0x2, 4), entry(kBob, 0x2, 4)}, false);
    ASSERT_EQ(common.size(), 2u);
    EXPECT_EQ(common[0].allow, kCommonListFolderContents);
    EXPECT_EQ(common[1].allow, 0u); // bob's files row alone is not enough
    // A deny entry does not complete an allow entry's rows.
    EXPECT_EQ(foldToCommon({entry(kAlice, 0x3, 3), entry(kAlice, 0x2, 4, false)}, false)[0].allow, 0u);
}

TEST(CommonRights, DenyEntriesFillTheDenySetAndAccountsKeepTheirOrder) {
    auto common =
        foldToCommon({entry(kBob, 0xC, 7, false), entry(kAlice, 0x2F, 7), entry(kBob, 0x3, 7)}, false);
    ASSERT_EQ(common.size(), 2u);
    EXPECT_EQ(common[0].account, kBob);
    EXPECT_EQ(common[0].deny, kCommonWrite);
    // An entry for everything also covers both list-folder rows.
    EXPECT_EQ(common[0].allow, kCommonRead | kCommonReadAndExecute | kCommonListFolderContents);
    EXPECT_EQ(common[1].allow, 0x1Fu);
}

TEST(CommonRights, AnEntryForThisFolderOnlyFoldsToNothing) {
    EXPECT_EQ(foldToCommon({entry(kAlice, 0xFF, 1)}, false)[0].allow, 0u);
}

TEST(CommonRights, CommonToAdvancedAndBack) {
    // Modify and ListFolderContents allowed, Write denied, on a folder.
    CommonEntry common{kAlice, kCommonModify | kCommonListFolderContents | kCommonRead, kCommonWrite};
    auto entries = advancedFromCommon(common, false);
    ASSERT_EQ(entries.size(), 4u);
    // Made in row order: Read (allow) comes before Write (deny).
    EXPECT_EQ(entries[0], (AdvancedEntry{kAlice, L"", 0x2F, true, 7}));
    EXPECT_EQ(entries[1], (AdvancedEntry{kAlice, L"", 0xC, false, 7}));
    EXPECT_EQ(entries[2], (AdvancedEntry{kAlice, L"", 0x3, true, 3}));
    EXPECT_EQ(entries[3], (AdvancedEntry{kAlice, L"", 0x2, true, 4}));
    auto back = foldToCommon(entries, false);
    EXPECT_EQ(back[0].deny, kCommonWrite);
    EXPECT_EQ(back[0].allow & (kCommonModify | kCommonListFolderContents | kCommonRead),
              kCommonModify | kCommonListFolderContents | kCommonRead);
}

TEST(CommonRights, OnAFileFullControlIsCutAndListFolderContentsSkipped) {
    auto entries = advancedFromCommon({kAlice, kCommonFullControl | kCommonListFolderContents, 0}, true);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0], (AdvancedEntry{kAlice, L"", 0xEF, true, 0}));
}

} // namespace
