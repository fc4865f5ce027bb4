#include "security/AclDump.h"

#include "support/SecurityFixtures.h"
#include "support/SubstitutePlatform.h"

#include <gtest/gtest.h>

namespace {

using namespace security;
using namespace testsupport;

class AclDumpTest : public ::testing::Test {
protected:
    AclDumpTest() : scoped(substitute) {
        substitute.addAccount({L"WEB01", L"alice", userSid()});
        substitute.addDeletedSid(otherUserSid());
    }
    SubstitutePlatform substitute;
    ScopedPlatform scoped;
};

TEST_F(AclDumpTest, LinesNameAccountKindScopeAndMask) {
    EXPECT_EQ(aceDump(Ace::allowed(0x1200A9, userSid(), 0x3)),
              L"WEB01\\alice: allow for this folder, subfolders and files ACE with access mask 1200A9\r\n");
    EXPECT_EQ(aceDump(Ace::denied(0x10000, userSid(), 0x19)),
              L"WEB01\\alice: deny for files only ACE with access mask 10000\r\n");
    EXPECT_EQ(aceDump(Ace::make(ACCESS_DENIED_OBJECT_ACE_TYPE, 0xA, 1, userSid(), GUID{}, std::nullopt)),
              L"WEB01\\alice: deny for subfolders only ACE with access mask 1\r\n");
}

TEST_F(AclDumpTest, UnresolvedSidsAndUnknownFlagsShowRaw) {
    EXPECT_EQ(aceDump(Ace::allowed(GENERIC_READ, otherUserSid(), 0x4 | 0x10)),
              L"S-1-5-21-7-8-9-1002: allow for 4 ACE with access mask 80000000\r\n");
    EXPECT_EQ(aceDump(Ace::allowed(GENERIC_READ, otherUserSid(), 0x7), true),
              L"S-1-5-21-7-8-9-1002: allow for 7 ACE with access mask 120089\r\n");
}

TEST_F(AclDumpTest, AclDumpConcatenatesInOrder) {
    Acl acl = aclOf(
        {Ace::allowed(1, userSid(), 0x1), Ace::allowed(2, userSid(), 0x2), Ace::allowed(3, userSid(), 0xB)});
    EXPECT_EQ(aclDump(acl), L"WEB01\\alice: allow for this folder and files ACE with access mask 1\r\n"
                            L"WEB01\\alice: allow for this folder and subfolders ACE with access mask 2\r\n"
                            L"WEB01\\alice: allow for subfolders and files only ACE with access mask 3\r\n");
    EXPECT_EQ(aclDump(Acl::emptyList()), L"");
}

TEST_F(AclDumpTest, WellKnownSidsResolveForReal) {
    EXPECT_EQ(aceDump(Ace::allowed(0x1F01FF, localSystem())),
              L"NT AUTHORITY\\SYSTEM: allow for this object only ACE with access mask 1F01FF\r\n");
}

} // namespace
