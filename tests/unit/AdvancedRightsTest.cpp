#include "permissions/AdvancedRights.h"

#include "security/FileRights.h"

#include <gtest/gtest.h>

namespace {

using namespace permissions;

TEST(AdvancedRights, MasksAreReadByContainmentAfterFolding) {
    EXPECT_EQ(advancedRightsOf(security::foldGeneric(GENERIC_ALL)), 0xFFu);
    EXPECT_EQ(advancedRightsOf(security::foldGeneric(GENERIC_READ)), 0x2u);
    EXPECT_EQ(advancedRightsOf(security::foldGeneric(GENERIC_READ | GENERIC_EXECUTE)), 0x3u);
    // Read data without read-control and the attribute bits is not ListFolderOrRead.
    EXPECT_EQ(advancedRightsOf(0x1), 0u);
    EXPECT_EQ(advancedRightsOf(0x1200A9), 0x3u);
    EXPECT_EQ(advancedRightsOf(0x110), 0u); // write data without write attributes
}

TEST(AdvancedRights, SettingWritesExactlyTheTableMasks) {
    EXPECT_EQ(windowsMaskOf(0xFF), 0xF01FFu);
    EXPECT_EQ(windowsMaskOf(0x4), 0x112u);
    for (const AdvancedRight& right : kAdvancedRights)
        EXPECT_EQ(advancedRightsOf(windowsMaskOf(right.bit)), right.bit);
}

TEST(AdvancedRights, ControlSummary) {
    EXPECT_EQ(controlOf(0xFF, false), kControlFull);
    EXPECT_EQ(controlOf(0xEF, true), kControlFull);
    // 0xEF on a folder lacks DeleteSubfoldersandFiles: not full.
    EXPECT_EQ(controlOf(0xEF, false), kControlRead | kControlWrite | kControlExecute);
    EXPECT_EQ(controlOf(0x4, false), 0u); // write data without append is not Write
    EXPECT_EQ(controlOf(0xC, true), kControlWrite);
    EXPECT_EQ(controlOf(0x3, true), kControlRead | kControlExecute);
}

} // namespace
