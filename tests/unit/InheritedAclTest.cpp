#include "security/InheritedAcl.h"

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

TEST(InheritedAcl, FilesTakeTheObjectInheritableEntriesWithoutFlags) {
    std::vector<Row> got = rows(inheritedAcl(parentAcl(), false));
    ASSERT_EQ(got.size(), 5u);
    DWORD masks[] = {2, 4, 5, 6, 7};
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].mask, masks[i]);
        EXPECT_EQ(got[i].flags, ID) << i;
    }
    EXPECT_TRUE(inheritedAcl(parentAcl(), false).at(2).isDeny());
}

TEST(InheritedAcl, FoldersKeepPassingEntriesOnAndStopAtNoPropagate) {
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

TEST(InheritedAcl, GrandchildrenInheritThroughTheChildsList) {
    Acl child = inheritedAcl(parentAcl(), true);
    std::vector<Row> file = rows(inheritedAcl(child, false));
    std::vector<DWORD> masks;
    for (const Row& r : file)
        masks.push_back(r.mask);
    EXPECT_EQ(masks, (std::vector<DWORD>{2, 4, 5, 7})); // 6 stopped at the child
}

TEST(InheritedAcl, NothingInheritsFromAnAbsentOrEmptyList) {
    EXPECT_EQ(inheritedAcl(Acl(), true).count(), 0u);
    EXPECT_FALSE(inheritedAcl(Acl(), true).absent());
    EXPECT_EQ(inheritedAcl(aclOf({Ace::allowed(1, userSid())}), false).count(), 0u);
}

} // namespace
