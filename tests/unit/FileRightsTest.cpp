#include "security/FileRights.h"

#include <gtest/gtest.h>

namespace {

using namespace security;

TEST(FileRights, EachRightNeedsEveryBitOfItsMask) {
    for (const FileRight& right : kFileRights) {
        EXPECT_EQ(rightsOf(right.mask) & right.bit, right.bit) << right.name;
        // Any single bit missing loses the right.
        for (DWORD bit = 1; bit; bit <<= 1) {
            if (right.mask & bit) {
                EXPECT_EQ(rightsOf(right.mask & ~bit) & right.bit, 0u) << right.name << " " << bit;
            }
        }
    }
    EXPECT_STREQ(kFileRights[8].name, L"DeleteSubfoldersandFiles");
    EXPECT_STREQ(kFileRights[5].name, L"CreateFoldersOrAppend");
}

TEST(FileRights, GenericBitsFoldIntoFileRights) {
    EXPECT_EQ(foldGeneric(GENERIC_READ), 0x120089u);
    EXPECT_EQ(foldGeneric(GENERIC_WRITE), 0x120116u);
    EXPECT_EQ(foldGeneric(GENERIC_EXECUTE), 0x1200A0u);
    EXPECT_EQ(foldGeneric(GENERIC_ALL), 0x1F01FFu);
    EXPECT_EQ(foldGeneric(GENERIC_READ | DELETE), 0x130089u);
    EXPECT_EQ(rightsOf(foldGeneric(GENERIC_ALL)), kAllFileRights);
}

TEST(FileRights, GenericReadGivesNoTraverse) {
    DWORD rights = rightsOf(FILE_GENERIC_READ);
    EXPECT_EQ(rights & 0x1, 0u);
    EXPECT_EQ(rights, 0x2u | 0x4u | 0x8u | 0x400u);
    EXPECT_EQ(rightsOf(FILE_GENERIC_EXECUTE) & 0x1, 0x1u);
}

TEST(FileRights, ApplyOntoFollowsTheTableAndIgnoresInherited) {
    EXPECT_EQ(applyOntoOf(0x9), 4u);
    EXPECT_EQ(applyOntoOf(0xA), 2u);
    EXPECT_EQ(applyOntoOf(0xB), 6u);
    EXPECT_EQ(applyOntoOf(0x0), 1u);
    EXPECT_EQ(applyOntoOf(0x1), 5u);
    EXPECT_EQ(applyOntoOf(0x2), 3u);
    EXPECT_EQ(applyOntoOf(0x3), 7u);
    EXPECT_EQ(applyOntoOf(0x13), 7u);
    EXPECT_EQ(applyOntoOf(0x4), 1u); // NO_PROPAGATE_INHERIT alone matches no row
    EXPECT_EQ(applyOntoOf(0x7), 1u);
    EXPECT_FALSE(applyOntoRow(0x5));
    EXPECT_STREQ(applyOntoRow(0x1B)->phrase, L"subfolders and files only");
}

} // namespace
