#include "security/Acl.h"

#include "app/Exceptions.h"
#include "support/FailureOf.h"
#include "support/SecurityFixtures.h"

#include <gtest/gtest.h>

namespace {

using namespace security;
using namespace testsupport;

TEST(Acl, AbsentAndEmptyAreDifferent) {
    Acl absent;
    EXPECT_TRUE(absent.absent());
    EXPECT_EQ(absent.get(), nullptr);
    EXPECT_EQ(absent.count(), 0u);
    EXPECT_TRUE(Acl::copyOf(nullptr).absent());
    Acl empty = Acl::emptyList();
    EXPECT_FALSE(empty.absent());
    EXPECT_EQ(empty.count(), 0u);
    EXPECT_EQ(empty.get()->AclRevision, ACL_REVISION);
}

TEST(Acl, AppendGrowsAndKeepsOrder) {
    Acl acl = Acl::emptyList();
    for (DWORD i = 0; i < 200; ++i)
        acl.append(Ace::allowed(i + 1, i % 2 ? userSid() : otherUserSid()));
    ASSERT_EQ(acl.count(), 200u);
    for (DWORD i = 0; i < 200; ++i)
        EXPECT_EQ(acl.at(i).mask(), i + 1);
    Acl copy = Acl::copyOf(acl.get());
    copy.remove(0);
    EXPECT_EQ(copy.count(), 199u);
    EXPECT_EQ(copy.at(0).mask(), 2u);
    EXPECT_EQ(acl.count(), 200u); // the copy owns its own buffer
    copy.appendAll(aclOf({Ace::denied(7, everyoneSid())}));
    EXPECT_EQ(copy.at(199).mask(), 7u);
}

TEST(Acl, AnObjectEntryRaisesTheRevision) {
    Acl acl = aclOf({Ace::allowed(1, userSid())});
    acl.append(Ace::make(ACCESS_ALLOWED_OBJECT_ACE_TYPE, 0, 1, userSid(), GUID{}, std::nullopt));
    EXPECT_EQ(acl.get()->AclRevision, ACL_REVISION_DS);
    EXPECT_EQ(acl.count(), 2u);
    EXPECT_TRUE(IsValidAcl(acl.get()));
}

TEST(Acl, IndexFailuresNameTheIndex) {
    Acl acl = aclOf({Ace::allowed(1, userSid())});
    std::wstring text = testsupport::failureOf<vosexception>([&] { acl.at(5); }).message();
    EXPECT_NE(text.find(L" at Unable to get ACL ACE (5)"), std::wstring::npos) << text;
    text = testsupport::failureOf<vosexception>([&] { acl.remove(3); }).message();
    EXPECT_NE(text.find(L" at Unable to delete ACL ACE (3)"), std::wstring::npos) << text;
    EXPECT_EQ(acl.count(), 1u);
}

TEST(Acl, MatchingComparesTypeSidFlagsAndContainment) {
    Acl acl = aclOf({
        Ace::allowed(GENERIC_ALL, userSid(), 0x3),   // 0: generic all contains anything
        Ace::allowed(0x120089, userSid(), 0x13),     // 1: inherited, same flags otherwise
        Ace::allowed(0x120089, userSid(), 0x1),      // 2: other flags
        Ace::denied(0x1F01FF, userSid(), 0x3),       // 3: other type
        Ace::allowed(0x1F01FF, otherUserSid(), 0x3), // 4: other SID
        Ace::allowed(0x120080, userSid(), 0x3),      // 5: does not contain the read bits
    });
    EXPECT_EQ(acl.findMatching(Ace::allowed(0x120089, userSid(), 0x3)), (std::vector<DWORD>{0, 1}));
    EXPECT_EQ(acl.findMatching(Ace::allowed(GENERIC_ALL, userSid(), 0x13)), (std::vector<DWORD>{0}));
    EXPECT_TRUE(acl.findMatching(Ace::allowed(1, everyoneSid())).empty());
}

} // namespace
