// What a child inherits: the entries written to it, those a document is compared with, and the
// lists a walk hands down.
#include "security/Inheritance.h"

#include "support/SecurityFixtures.h"

#include <gtest/gtest.h>

namespace {

using namespace security;
using namespace testsupport;

constexpr BYTE OI = OBJECT_INHERIT_ACE, CI = CONTAINER_INHERIT_ACE, IO = INHERIT_ONLY_ACE,
               NP = NO_PROPAGATE_INHERIT_ACE, ID = INHERITED_ACE;

struct Row {
    BYTE flags;
    DWORD mask;
};

std::vector<Row> rows(const Acl& acl) {
    std::vector<Row> out;
    for (const Ace& ace : acl.aces())
        out.push_back({ace.flags(), ace.mask()});
    return out;
}

// A folder's DACL with one entry of every inheritance kind; the mask tells them apart.
Acl parentAcl() {
    return aclOf({Ace::allowed(1, userSid(), 0),                // this folder only
                  Ace::allowed(2, userSid(), OI),               // files
                  Ace::allowed(3, userSid(), CI),               // subfolders
                  Ace::allowed(4, userSid(), OI | CI),          // everything
                  Ace::denied(5, otherUserSid(), OI | CI | IO), // below only, a deny kept in place
                  Ace::allowed(6, userSid(), OI | CI | NP),     // children, not grandchildren
                  Ace::allowed(7, everyoneSid(), OI | ID)});    // itself inherited from above
}

TEST(Inheritance, FilesTakeTheObjectInheritableEntriesWithoutFlags) {
    std::vector<Row> got = rows(inheritedAcl(parentAcl(), false));
    ASSERT_EQ(got.size(), 5u);
    DWORD masks[] = {2, 4, 5, 6, 7};
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].mask, masks[i]);
        EXPECT_EQ(got[i].flags, ID) << i;
    }
    EXPECT_TRUE(inheritedAcl(parentAcl(), false).at(2).isDeny());
}

TEST(Inheritance, FoldersKeepPassingEntriesOnAndStopAtNoPropagate) {
    std::vector<Row> got = rows(inheritedAcl(parentAcl(), true));
    ASSERT_EQ(got.size(), 6u);
    EXPECT_EQ(got[0].mask, 2u);
    EXPECT_EQ(got[0].flags, OI | IO | ID); // kept for the folder's files, not applied to it
    EXPECT_EQ(got[1].mask, 3u);
    EXPECT_EQ(got[1].flags, CI | ID);
    EXPECT_EQ(got[2].flags, OI | CI | ID);
    EXPECT_EQ(got[3].flags, OI | CI | ID); // inherit-only cleared: it applies to the child
    EXPECT_EQ(got[4].mask, 6u);
    EXPECT_EQ(got[4].flags, ID); // no further propagation
    EXPECT_EQ(got[5].mask, 7u);
    EXPECT_EQ(got[5].flags, OI | IO | ID);
}

TEST(Inheritance, GrandchildrenInheritThroughTheChildsList) {
    Acl child = inheritedAcl(parentAcl(), true);
    std::vector<Row> file = rows(inheritedAcl(child, false));
    std::vector<DWORD> masks;
    for (const Row& r : file)
        masks.push_back(r.mask);
    EXPECT_EQ(masks, (std::vector<DWORD>{2, 4, 5, 7})); // 6 stopped at the child
}

TEST(Inheritance, NothingInheritsFromAnAbsentOrEmptyList) {
    EXPECT_EQ(inheritedAcl(Acl(), true).count(), 0u);
    EXPECT_FALSE(inheritedAcl(Acl(), true).absent());
    EXPECT_EQ(inheritedAcl(aclOf({Ace::allowed(1, userSid())}), false).count(), 0u);
}

TEST(Inheritance, WhatAParentPassesOnToAFolder) {
    Acl parent =
        aclOf({Ace::allowed(GENERIC_ALL, userSid(), 0x0),             // this folder only: nothing
               Ace::allowed(0x1200A9, userSid(), 0xB),                // inherit only, both: IO cleared
               Ace::denied(0x2, userSid(), OBJECT_INHERIT_ACE | 0x8), // files only: unchanged
               Ace::allowed(0x1200A9, userSid(), INHERITED_ACE),      // inherited, no inheritance: nothing
               Ace::allowed(0x1200A9, userSid(), INHERIT_ONLY_ACE)});  // inherit-only, nowhere: nothing
    Acl passed = passedOn(parent, false);
    ASSERT_EQ(passed.count(), 2u);
    EXPECT_EQ(passed.at(0).flags(), 0x3);
    EXPECT_EQ(passed.at(1).flags(), 0x9);
    EXPECT_TRUE(passed.at(1).isDeny());
    EXPECT_TRUE(reaches(0x9, false));
    EXPECT_FALSE(reaches(0x10, false));
    EXPECT_FALSE(reaches(INHERIT_ONLY_ACE, false));
}

TEST(Inheritance, WhatAParentPassesOnToAFileAndFoldedMasks) {
    Acl parent = aclOf({Ace::allowed(GENERIC_ALL, userSid(), 0x3), Ace::allowed(0x1200A9, userSid(), 0xA)});
    Acl passed = passedOn(parent, true);
    ASSERT_EQ(passed.count(), 1u);
    EXPECT_EQ(passed.at(0).flags(), INHERITED_ACE);
    EXPECT_EQ(passed.at(0).mask(), 0x1F01FFu);
    EXPECT_FALSE(reaches(0xA, true));
}

TEST(Inheritance, AFilesOwnEntriesAreNormalised) {
    Acl acl = aclOf({Ace::allowed(0x1, userSid(), 0x2), Ace::allowed(0x2, userSid(), 0xA | INHERITED_ACE),
                     Ace::allowed(0x4, userSid(), 0x3), Ace::allowed(0x8, userSid(), INHERITED_ACE),
                     Ace::allowed(0x10, userSid(), NO_PROPAGATE_INHERIT_ACE | 0x2)});
    Acl normal = normalisedForFile(acl);
    ASSERT_EQ(normal.count(), 2u);
    EXPECT_EQ(normal.at(0).mask(), 0x4u);
    EXPECT_EQ(normal.at(0).flags(), 0);
    EXPECT_EQ(normal.at(1).flags(), INHERITED_ACE); // plain entries stay as they are
}

// --replace-on-children hands every entry of the folder down as it is, only marked inherited, and
// the walk's next level receives that same list again.
TEST(Inheritance, TheReplacedListIsTheFoldersOwnMarkedInherited) {
    ChildLists lists = markedInheritedLists(parentAcl());
    std::vector<Row> got = rows(lists.files);
    const std::vector<Row> parent = rows(parentAcl());
    ASSERT_EQ(got.size(), parent.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].mask, parent[i].mask);
        EXPECT_EQ(got[i].flags, parent[i].flags | ID) << i;
    }
    EXPECT_EQ(rows(lists.folders).size(), got.size());
    const ChildLists again = markedInheritedLists(lists.folders);
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(again.folders.at(DWORD(i)), lists.folders.at(DWORD(i)));
    EXPECT_EQ(markedInherited(Acl()).count(), 0u);
    // The inheritance rule gives each kind its own list.
    const ChildLists inherited = inheritedLists(parentAcl());
    EXPECT_EQ(inherited.files.count(), 5u);
    EXPECT_EQ(inherited.folders.count(), 6u);
}

} // namespace
