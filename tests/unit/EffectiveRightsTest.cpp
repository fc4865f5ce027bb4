#include "security/EffectiveRights.h"

#include "security/FileRights.h"
#include "support/SecurityFixtures.h"
#include "support/SubstitutePlatform.h"

#include <gtest/gtest.h>

namespace {

using namespace security;
using namespace testsupport;

constexpr DWORD kRead = 0x2 | 0x4 | 0x8 | 0x400; // what FILE_GENERIC_READ holds
const std::vector<CallerSid> kCaller = {{userSid(), false}, {usersGroupSid(), false}, {everyoneSid(), false}};

TEST(EffectiveRights, AllowEntriesAddUp) {
    Acl dacl = aclOf({Ace::allowed(FILE_GENERIC_READ, usersGroupSid()), Ace::allowed(DELETE, userSid())});
    EXPECT_EQ(effectiveRights(dacl, otherUserSid(), kCaller), kRead | 0x200);
    EXPECT_EQ(effectiveRights(dacl, localSystem(), {{otherUserSid(), false}}), 0u);
}

TEST(EffectiveRights, DenyWinsWhereverItStands) {
    for (bool denyFirst : {true, false}) {
        Ace allow = Ace::allowed(GENERIC_ALL, userSid());
        Ace deny = Ace::denied(DELETE | WRITE_DAC, everyoneSid());
        Acl dacl = denyFirst ? aclOf({deny, allow}) : aclOf({allow, deny});
        EXPECT_EQ(effectiveRights(dacl, otherUserSid(), kCaller), kAllFileRights & ~(0x200u | 0x800u))
            << denyFirst;
    }
}

TEST(EffectiveRights, InheritOnlyEntriesAreSkipped) {
    Acl dacl = aclOf({Ace::allowed(GENERIC_ALL, userSid(), OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE),
                      Ace::denied(GENERIC_ALL, userSid(), CONTAINER_INHERIT_ACE | INHERIT_ONLY_ACE),
                      Ace::allowed(FILE_GENERIC_READ, userSid(), 0x13)});
    EXPECT_EQ(effectiveRights(dacl, otherUserSid(), kCaller), kRead);
}

TEST(EffectiveRights, TheOwnerMayReadAndChangePermissionsUnlessDenied) {
    Acl empty = Acl::emptyList();
    EXPECT_EQ(effectiveRights(empty, userSid(), kCaller), 0xC00u);
    EXPECT_EQ(effectiveRights(empty, usersGroupSid(), kCaller), 0xC00u); // owner through a group
    Acl denied = aclOf({Ace::denied(WRITE_DAC, usersGroupSid())});
    EXPECT_EQ(effectiveRights(denied, userSid(), kCaller), 0x400u);
    EXPECT_EQ(effectiveRights(empty, Sid(), kCaller), 0u);
}

TEST(EffectiveRights, DenyOnlyGroupsMatchDenyEntriesOnly) {
    // A restricted token: Administrators kept for deny only.
    std::vector<CallerSid> caller = {{userSid(), false}, {administratorsGroup(), true}};
    Acl dacl =
        aclOf({Ace::allowed(GENERIC_ALL, administratorsGroup()), Ace::allowed(FILE_GENERIC_READ, userSid())});
    EXPECT_EQ(effectiveRights(dacl, otherUserSid(), caller), kRead);
    Acl denied =
        aclOf({Ace::denied(FILE_GENERIC_READ, administratorsGroup()), Ace::allowed(GENERIC_ALL, userSid())});
    EXPECT_EQ(effectiveRights(denied, otherUserSid(), caller), kAllFileRights & ~kRead);
    // The owner rule takes every SID of the caller, deny-only ones included.
    EXPECT_EQ(effectiveRights(Acl::emptyList(), administratorsGroup(), caller), 0xC00u);
}

TEST(EffectiveRights, NoDaclGrantsEverything) {
    EXPECT_EQ(effectiveRights(Acl(), otherUserSid(), kCaller), kAllFileRights);
}

TEST(EffectiveRights, CallerSidsComeFromTheTokenInOrder) {
    SubstitutePlatform substitute;
    ScopedPlatform scoped(substitute);
    substitute.setToken(
        {userSid(),
         {{usersGroupSid()}, {administratorsGroup(), SE_GROUP_USE_FOR_DENY_ONLY}, {everyoneSid(), 0}},
         {},
         {}});
    std::vector<CallerSid> sids = callerSids();
    ASSERT_EQ(sids.size(), 4u);
    EXPECT_EQ(sids[0].sid, userSid());
    EXPECT_EQ(sids[1].sid, usersGroupSid());
    EXPECT_TRUE(sids[2].denyOnly);
    EXPECT_EQ(sids[3].sid, everyoneSid()); // disabled groups count as well
    EXPECT_FALSE(sids[3].denyOnly);
}

} // namespace
