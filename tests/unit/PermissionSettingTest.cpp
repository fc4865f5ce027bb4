// Deriving advanced entries from a common document: what the caller left as listed stays as it is.
#include "permissions/PermissionSetting.h"

#include "permissions/CommonRights.h"

#include <gtest/gtest.h>

namespace {

using namespace permissions;

const AccountKey kSystem{L"NT AUTHORITY", L"SYSTEM"};
const AccountKey kUser{L"WEB01", L"quarn"};
const AccountKey kOther{L"WEB01", L"other"};

// An account whose rights come only from inherited entries is unchanged when its common sets are
// as --list-common showed them (that listing folds inherited entries too): it gets no explicit
// entries of its own.
TEST(PermissionSetting, AccountsListedAsTheyAreKeepTheirEntriesInheritedOnesIncluded) {
    const std::vector<AdvancedEntry> listed = {
        {kSystem, L"C:\\inetpub", 0xFF, true, 7},
        {kUser, L"", 0x2F, true, 7},
        {kOther, L"C:\\inetpub", 0x3, true, 7},
        {kOther, L"", 0x2, false, 7},
    };
    const std::vector<CommonEntry> shown = foldToCommon(listed, false);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(entriesFromCommon(shown, listed, false),
              (std::vector<AdvancedEntry>{listed[0], listed[2], listed[1], listed[3]}));

    // A changed account gets new explicit entries; its inherited ones stay.
    std::vector<CommonEntry> changed = shown;
    changed[0].allow = kCommonRead;
    std::vector<AdvancedEntry> result = entriesFromCommon(changed, listed, false);
    ASSERT_EQ(result.size(), 5u);
    EXPECT_EQ(result[0], listed[0]);
    EXPECT_EQ(result[2], (AdvancedEntry{kSystem, L"", 0x2, true, 7}));
}

} // namespace
