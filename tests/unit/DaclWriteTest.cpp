#include "security/DaclWrite.h"

#include "app/Exceptions.h"
#include "security/SecurityInfo.h"
#include "support/FailureOf.h"
#include "support/PolicyFixtures.h"
#include "support/SecurityFixtures.h"
#include "support/SubstitutePlatform.h"

#include <gtest/gtest.h>

namespace {

using namespace security;
using namespace testsupport;

class DaclWriteTest : public ::testing::Test {
protected:
    DaclWriteTest() : scoped(substitute) {
        substitute.setToken({userSid(), {{administratorsGroup()}}, {SE_TAKE_OWNERSHIP_NAME}, {}});
        substitute.addAccount({L"WEB01", L"alice", userSid()});
        substitute.addAccount({L"WEB01", L"bob", otherUserSid()});
        original = aclOf({Ace::allowed(FILE_GENERIC_READ, everyoneSid())});
        substitute.setSecurity(kPath,
                               {localSystem(), localSystem(), std::vector<BYTE>(bytesOf(original)), true});
    }
    static std::vector<BYTE> bytesOf(const Acl& acl) {
        auto* p = reinterpret_cast<const BYTE*>(acl.get());
        return {p, p + acl.get()->AclSize};
    }
    Acl stored() { return readSecurity(kPath).dacl; }

    // Security is written on a handle of the object itself: the object is a real file.
    ScratchTree tree;
    const std::wstring kPath = L"\\\\?\\" + tree.file(L"sites\\example\\index.html");
    const std::wstring shown = kPath.substr(4);
    SubstitutePlatform substitute;
    ScopedPlatform scoped;
    Acl original;
};

TEST_F(DaclWriteTest, WritesProtectedOrInherited) {
    Acl dacl = aclOf({Ace::allowed(GENERIC_ALL, userSid(), 0x3)});
    writeDaclInherited(kPath, dacl);
    SecurityInfo info = readSecurity(kPath);
    EXPECT_FALSE(info.protectedDacl);
    ASSERT_EQ(info.dacl.count(), 1u);
    EXPECT_EQ(info.dacl.at(0), dacl.at(0));
    EXPECT_EQ(info.owner, localSystem()); // owner and group are not passed
    writeDaclProtected(kPath, dacl);
    EXPECT_TRUE(readSecurity(kPath).protectedDacl);
}

TEST_F(DaclWriteTest, EntriesOfDeletedAccountsAreDroppedOthersKept) {
    const Sid deleted = Sid::fromString(L"S-1-5-21-7-8-9-3000");
    const Sid unreachable = Sid::fromString(L"S-1-5-21-99-99-99-1000");
    substitute.addDeletedSid(deleted);
    // A domain controller that does not answer is no proof that the account is gone.
    substitute.failNext(Call::lookupAccountSid, unreachable.toString(), RPC_S_SERVER_UNAVAILABLE, 10);
    // A name longer than the 32 characters the check asks with: the account exists.
    const Sid longName = Sid::fromString(L"S-1-5-21-7-8-9-1003");
    substitute.addAccount({L"WEB01", L"a-service-account-with-a-very-long-name", longName});
    Acl dacl = aclOf({Ace::allowed(1, deleted), Ace::allowed(2, userSid()), Ace::denied(3, deleted),
                      Ace::allowed(4, unreachable), Ace::allowed(5, longName)});
    writeDaclProtected(kPath, dacl);
    Acl written = stored();
    ASSERT_EQ(written.count(), 3u);
    EXPECT_EQ(written.at(0).mask(), 2u);
    EXPECT_EQ(written.at(1).sid(), unreachable);
    EXPECT_EQ(written.at(2).sid(), longName);
    EXPECT_EQ(dacl.count(), 5u); // the caller's ACL is left alone
}

TEST_F(DaclWriteTest, ARefusalIsRetriedOnceAfterTakingOwnership) {
    substitute.failNext(Call::setSecurityInfo, kPath, ERROR_ACCESS_DENIED);
    writeDaclProtected(kPath, aclOf({Ace::allowed(GENERIC_ALL, userSid())}));
    EXPECT_EQ(readSecurity(kPath).owner, userSid());
    EXPECT_EQ(stored().count(), 1u);
    EXPECT_EQ(substitute.calls(Call::setSecurityInfo, kPath), 3); // refused, owner, retry
    EXPECT_EQ(substitute.token().enabled, std::vector<std::wstring>{SE_TAKE_OWNERSHIP_NAME});
}

TEST_F(DaclWriteTest, AFailedRetryOrOtherFailureChangesNothing) {
    substitute.failNext(Call::setSecurityInfo, kPath, ERROR_ACCESS_DENIED,
                        2); // the write, then the owner
    std::wstring text = failureOf<VAccessDeniedException>([&] {
                            writeDaclProtected(kPath, aclOf({Ace::allowed(GENERIC_ALL, userSid())}));
                        }).message();
    EXPECT_NE(text.find(L" at Unable to set the object (" + shown + L") owner"),
              std::wstring::npos)
        << text;
    EXPECT_EQ(stored().at(0), original.at(0));

    // A failure other than access denied is not retried.
    int before = substitute.calls(Call::setSecurityInfo, kPath);
    substitute.failNext(Call::setSecurityInfo, kPath, ERROR_INVALID_PARAMETER, 1);
    text = failureOf<vosexception>([&] { writeDaclInherited(kPath, Acl::emptyList()); }).message();
    EXPECT_NE(text.find(L" at Unable to set the object (" + shown + L") security info"),
              std::wstring::npos)
        << text;
    EXPECT_EQ(substitute.calls(Call::setSecurityInfo, kPath), before + 1);
    EXPECT_EQ(stored().count(), 1u);
    EXPECT_EQ(readSecurity(kPath).owner, localSystem());
}

TEST_F(DaclWriteTest, OwnershipIsTakenWithoutThePrivilegeToo) {
    substitute.token().privileges.clear();
    takeOwnership(kPath);
    EXPECT_EQ(readSecurity(kPath).owner, userSid());
    EXPECT_TRUE(substitute.token().enabled.empty());
    EXPECT_EQ(substitute.calls(Call::adjustTokenPrivileges), 0);
}

TEST_F(DaclWriteTest, ReadFailuresNameThePath) {
    substitute.failNext(Call::getNamedSecurityInfo, kPath, ERROR_PATH_NOT_FOUND);
    std::wstring text = failureOf<VPathNotFoundException>([&] { readSecurity(kPath); }).message();
    EXPECT_NE(text.find(L" at Unable to get the object (" + shown + L") security info"),
              std::wstring::npos)
        << text;
}

TEST_F(DaclWriteTest, AnAddedEntryFollowsTheExplicitDenialsOnly) {
    // An inherited denial ranks below every explicit entry: the new one goes before it.
    Acl dacl = aclOf({Ace::denied(1, otherUserSid()), Ace::denied(2, usersGroupSid(), INHERITED_ACE),
                      Ace::allowed(4, everyoneSid())});
    writeDaclInherited(kPath, dacl);
    addAllowedEntry(kPath, userSid(), 0x10);
    SecurityInfo info = readSecurity(kPath);
    EXPECT_FALSE(info.protectedDacl);
    ASSERT_EQ(info.dacl.count(), 4u);
    EXPECT_EQ(info.dacl.at(0), dacl.at(0));
    EXPECT_EQ(info.dacl.at(1), Ace::allowed(0x10, userSid()));
    EXPECT_EQ(info.dacl.at(2), dacl.at(1));
    EXPECT_EQ(info.dacl.at(3), dacl.at(2));
    // Only explicit denials: the entry comes last, and protection is kept.
    writeDaclProtected(kPath, aclOf({Ace::denied(1, otherUserSid())}));
    addAllowedEntry(kPath, userSid(), 0x10);
    info = readSecurity(kPath);
    EXPECT_TRUE(info.protectedDacl);
    ASSERT_EQ(info.dacl.count(), 2u);
    EXPECT_EQ(info.dacl.at(1), Ace::allowed(0x10, userSid()));
}

// The recovery of a refused administrator: it becomes the owner and grants its own user access,
// after the explicit denials and with the DACL's protection kept.
TEST_F(DaclWriteTest, ASelfGrantKeepsDenyEntriesFirst) {
    substitute.token().privileges.clear(); // SeTakeOwnershipPrivilege not held: the owner is set anyway
    // A protected DACL: deny Everyone write, allow Administrators.
    const Acl dacl =
        aclOf({Ace::denied(FILE_WRITE_DATA, everyoneSid()), Ace::allowed(GENERIC_READ, administratorsGroup())});
    substitute.setSecurity(kPath, {administratorsGroup(), administratorsGroup(), bytesOf(dacl), true});

    EXPECT_TRUE(grantSelfAccess(kPath, 0x1));
    SecurityInfo info = readSecurity(kPath);
    EXPECT_TRUE(info.protectedDacl);
    ASSERT_EQ(info.dacl.count(), 3u);
    EXPECT_TRUE(info.dacl.at(0).isDeny());
    EXPECT_EQ(info.dacl.at(1), Ace::allowed(0x1, userSid()));

    // A NULL DACL already lets everyone in: it is not narrowed to one entry.
    substitute.setSecurity(kPath, {administratorsGroup(), administratorsGroup(), std::nullopt, false});
    EXPECT_TRUE(grantSelfAccess(kPath, GENERIC_ALL));
    EXPECT_FALSE(substitute.security(kPath)->dacl.has_value());
    EXPECT_EQ(substitute.security(kPath)->owner, userSid());

    substitute.failNext(Call::setSecurityInfo, kPath, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(grantSelfAccess(kPath, GENERIC_ALL));
}

} // namespace

namespace {

// A write of security reaches the object at the path itself: a junction there gets the new DACL
// and owner, the folder it leads to keeps its own. (Named writes follow the link: the substitute
// records both ways, so the difference shows.)
TEST_F(DaclWriteTest, WritesReachALinkItselfNeverWhereItLeads) {
    const std::wstring target = tree.folder(L"sites\\target"), link = tree.path(L"sites\\link");
    substitute.addJunction(link, target);
    substitute.setSecurity(target, {localSystem(), localSystem(), std::vector<BYTE>(bytesOf(original)), true});
    const auto before = substitute.security(target);
    const size_t earlier = substitute.securityWrites().size();
    writeDaclProtected(link, aclOf({Ace::allowed(GENERIC_ALL, userSid())}));
    takeOwnership(link);
    ASSERT_EQ(substitute.securityWrites().size(), earlier + 2);
    for (size_t i = earlier; i < earlier + 2; ++i) {
        const SecurityWrite& w = substitute.securityWrites()[i];
        EXPECT_EQ(w.object, SubstitutePlatform::key(link));
        EXPECT_TRUE(w.byHandle);
        EXPECT_FALSE(w.followedLink);
    }
    EXPECT_EQ(substitute.security(target)->dacl, before->dacl);
    EXPECT_EQ(substitute.security(target)->owner, before->owner);

    // What the named call would have done.
    Acl other = aclOf({Ace::allowed(1, userSid())});
    ASSERT_EQ(substitute.setNamedSecurityInfo(link, DACL_SECURITY_INFORMATION, nullptr, nullptr, other.get()), 0u);
    EXPECT_EQ(substitute.securityWrites().back().object, SubstitutePlatform::key(target));
    EXPECT_TRUE(substitute.securityWrites().back().followedLink);
    EXPECT_NE(substitute.security(target)->dacl, before->dacl);
}

} // namespace
