#include "permissions/InheritedAces.h"

#include "support/SecurityFixtures.h"

#include <gtest/gtest.h>

namespace {

using namespace permissions;
using namespace security;
using testsupport::aclOf;
using testsupport::userSid;

TEST(InheritedAces, WhatAParentPassesOnToAFolder) {
    Acl parent =
        aclOf({Ace::allowed(GENERIC_ALL, userSid(), 0x0),             // this folder only: nothing
               Ace::allowed(0x1200A9, userSid(), 0xB),                // inherit only, both: IO cleared
               Ace::denied(0x2, userSid(), OBJECT_INHERIT_ACE | 0x8), // files only: unchanged
               Ace::allowed(0x1200A9, userSid(), INHERITED_ACE)});    // inherited, no inheritance: nothing
    Acl passed = passedOn(parent, false);
    ASSERT_EQ(passed.count(), 2u);
    EXPECT_EQ(passed.at(0).flags(), 0x3);
    EXPECT_EQ(passed.at(1).flags(), 0x9);
    EXPECT_TRUE(passed.at(1).isDeny());
    EXPECT_TRUE(reaches(0x9, false));
    EXPECT_FALSE(reaches(0x10, false));
}

TEST(InheritedAces, WhatAParentPassesOnToAFileAndFoldedMasks) {
    Acl parent = aclOf({Ace::allowed(GENERIC_ALL, userSid(), 0x3), Ace::allowed(0x1200A9, userSid(), 0xA)});
    Acl passed = passedOn(parent, true);
    ASSERT_EQ(passed.count(), 1u);
    EXPECT_EQ(passed.at(0).flags(), INHERITED_ACE);
    EXPECT_EQ(passed.at(0).mask(), 0x1F01FFu);
    EXPECT_FALSE(reaches(0xA, true));
}

TEST(InheritedAces, AFilesOwnEntriesAreNormalised) {
    Acl acl = aclOf({Ace::allowed(0x1, userSid(), 0x2), Ace::allowed(0x2, userSid(), 0xA | INHERITED_ACE),
                     Ace::allowed(0x4, userSid(), 0x3), Ace::allowed(0x8, userSid(), INHERITED_ACE),
                     Ace::allowed(0x10, userSid(), NO_PROPAGATE_INHERIT_ACE | 0x2)});
    Acl normal = normalisedForFile(acl);
    ASSERT_EQ(normal.count(), 2u);
    EXPECT_EQ(normal.at(0).mask(), 0x4u);
    EXPECT_EQ(normal.at(0).flags(), 0);
    EXPECT_EQ(normal.at(1).flags(), INHERITED_ACE); // plain entries stay as they are
}

} // namespace
