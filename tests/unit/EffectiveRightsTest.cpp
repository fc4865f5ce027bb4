#include "security/EffectiveRights.h"

#include "app/Exceptions.h"
#include "security/FileRights.h"
#include "support/FailureOf.h"
#include "support/SecurityFixtures.h"
#include "support/SubstitutePlatform.h"

#include <gtest/gtest.h>

namespace {

using namespace security;
using namespace testsupport;

constexpr DWORD kRead = 0x2 | 0x4 | 0x8 | 0x400; // what FILE_GENERIC_READ holds
constexpr DWORD kOwners = 0xC00;                 // ReadPermissions and ChangePermissions
const Caller kCaller = {{{userSid()}, {usersGroupSid()}, {everyoneSid()}}};

const Sid& ownerRights() {
    static const Sid sid = Sid::fromString(L"S-1-3-4");
    return sid;
}

TEST(EffectiveRights, BitsOfSeparateAllowEntriesAddUp) {
    Acl dacl = aclOf({Ace::allowed(FILE_GENERIC_READ, usersGroupSid()), Ace::allowed(DELETE, userSid())});
    EXPECT_EQ(effectiveRights(dacl, otherUserSid(), kCaller), kRead | 0x200);
    EXPECT_EQ(effectiveRights(dacl, localSystem(), {{{otherUserSid()}}}), 0u);
    // Neither entry holds a whole right; together they hold ListFolderOrReadData.
    Acl split = aclOf({Ace::allowed(SYNCHRONIZE, everyoneSid()), Ace::allowed(FILE_READ_DATA, userSid())});
    EXPECT_EQ(effectiveRights(split, otherUserSid(), kCaller), 0x2u);
}

TEST(EffectiveRights, ADenyEntryRefusesWhenItMeetsABitNotYetGranted) {
    // Denying SYNCHRONIZE alone refuses every right that needs it.
    Acl partial = aclOf({Ace::denied(SYNCHRONIZE, everyoneSid()), Ace::allowed(GENERIC_ALL, userSid())});
    EXPECT_EQ(effectiveRights(partial, otherUserSid(), kCaller), 0x200u | 0x400 | 0x800 | 0x1000);
    // After an allow that granted every bit of a right, a later deny changes nothing for it...
    Acl late = aclOf({Ace::allowed(GENERIC_ALL, userSid()), Ace::denied(DELETE | WRITE_DAC, everyoneSid())});
    EXPECT_EQ(effectiveRights(late, otherUserSid(), kCaller), kAllFileRights);
    // ...before it, the deny wins.
    Acl early = aclOf({Ace::denied(DELETE | WRITE_DAC, everyoneSid()), Ace::allowed(GENERIC_ALL, userSid())});
    EXPECT_EQ(effectiveRights(early, otherUserSid(), kCaller), kAllFileRights & ~(0x200u | 0x800u));
    // A right granted only in part when the deny comes is refused: SYNCHRONIZE came first.
    Acl between = aclOf({Ace::allowed(SYNCHRONIZE, userSid()), Ace::denied(FILE_READ_DATA, everyoneSid()),
                         Ace::allowed(FILE_GENERIC_READ, userSid())});
    EXPECT_EQ(effectiveRights(between, otherUserSid(), kCaller), kRead & ~0x2u);
}

TEST(EffectiveRights, InheritOnlyEntriesAreSkipped) {
    Acl dacl = aclOf({Ace::allowed(GENERIC_ALL, userSid(), OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE),
                      Ace::denied(GENERIC_ALL, userSid(), CONTAINER_INHERIT_ACE | INHERIT_ONLY_ACE),
                      Ace::allowed(FILE_GENERIC_READ, userSid(), 0x13)});
    EXPECT_EQ(effectiveRights(dacl, otherUserSid(), kCaller), kRead);
}

TEST(EffectiveRights, TheOwnersImplicitRightsOutliveDenyEntries) {
    Acl empty = Acl::emptyList();
    EXPECT_EQ(effectiveRights(empty, userSid(), kCaller), kOwners);
    EXPECT_EQ(effectiveRights(empty, usersGroupSid(), kCaller), kOwners); // owner through a group
    Acl denied = aclOf({Ace::denied(GENERIC_ALL, usersGroupSid()), Ace::allowed(GENERIC_ALL, userSid())});
    EXPECT_EQ(effectiveRights(denied, userSid(), kCaller), kOwners);
    EXPECT_EQ(effectiveRights(empty, Sid(), kCaller), 0u);
}

TEST(EffectiveRights, AnOwnerRightsEntryStandsForTheOwner) {
    Acl readOnly =
        aclOf({Ace::allowed(READ_CONTROL, ownerRights()), Ace::allowed(FILE_GENERIC_READ, everyoneSid())});
    EXPECT_EQ(effectiveRights(readOnly, userSid(), kCaller), kRead); // no ChangePermissions
    EXPECT_EQ(effectiveRights(readOnly, otherUserSid(), kCaller), kRead);
    Acl more = aclOf({Ace::allowed(DELETE | WRITE_DAC, ownerRights())});
    EXPECT_EQ(effectiveRights(more, userSid(), kCaller), 0x200u | 0x800);
    EXPECT_EQ(effectiveRights(more, otherUserSid(), kCaller), 0u); // it matches only the owner
    Acl denied = aclOf({Ace::denied(WRITE_DAC, ownerRights()), Ace::allowed(GENERIC_ALL, userSid())});
    EXPECT_EQ(effectiveRights(denied, userSid(), kCaller), kAllFileRights & ~0x800u);
    EXPECT_EQ(effectiveRights(denied, otherUserSid(), kCaller), kAllFileRights);
    // An inherit-only OWNER RIGHTS entry does not apply to the object: the implicit rights stay.
    Acl inheritOnly =
        aclOf({Ace::allowed(READ_CONTROL, ownerRights(), CONTAINER_INHERIT_ACE | INHERIT_ONLY_ACE)});
    EXPECT_EQ(effectiveRights(inheritOnly, userSid(), kCaller), kOwners);
}

TEST(EffectiveRights, DenyOnlyGroupsMatchDenyEntriesOnlyAndDisabledGroupsNothing) {
    // A restricted token: Administrators kept for deny only, Backup Operators disabled.
    const Sid backup = Sid::fromString(L"S-1-5-32-551");
    Caller caller = {{{userSid()}, {administratorsGroup(), SidUse::denyOnly}, {backup, SidUse::disabled}}};
    Acl dacl = aclOf({Ace::allowed(GENERIC_ALL, administratorsGroup()), Ace::allowed(GENERIC_ALL, backup),
                      Ace::allowed(FILE_GENERIC_READ, userSid())});
    EXPECT_EQ(effectiveRights(dacl, otherUserSid(), caller), kRead);
    Acl denied = aclOf({Ace::denied(FILE_GENERIC_READ, administratorsGroup()),
                        Ace::denied(GENERIC_ALL, backup), Ace::allowed(GENERIC_ALL, userSid())});
    EXPECT_EQ(effectiveRights(denied, otherUserSid(), caller), 0x200u | 0x800 | 0x1000);
    // Neither makes the caller the owner.
    EXPECT_EQ(effectiveRights(Acl::emptyList(), administratorsGroup(), caller), 0u);
    EXPECT_EQ(effectiveRights(Acl::emptyList(), backup, caller), 0u);
    // A deny-only user matches deny entries only, and is not the owner.
    Caller denyOnlyUser = {{{userSid(), SidUse::denyOnly}, {everyoneSid()}}};
    Acl user = aclOf({Ace::allowed(GENERIC_ALL, userSid()), Ace::allowed(FILE_GENERIC_READ, everyoneSid())});
    EXPECT_EQ(effectiveRights(user, userSid(), denyOnlyUser), kRead);
}

TEST(EffectiveRights, TheTakeOwnershipPrivilegeGrantsTakeOwnership) {
    Caller privileged = kCaller;
    privileged.takeOwnership = true;
    Acl denied = aclOf({Ace::denied(GENERIC_ALL, everyoneSid())});
    EXPECT_EQ(effectiveRights(denied, otherUserSid(), privileged), 0x1000u);
    EXPECT_EQ(effectiveRights(denied, otherUserSid(), kCaller), 0u);
}

TEST(EffectiveRights, AuditEntriesAndObjectEntriesWithAnObjectType) {
    const GUID type = {0x1, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}};
    Acl dacl = aclOf({Ace::make(SYSTEM_AUDIT_ACE_TYPE, 0, GENERIC_ALL, userSid()),
                      Ace::make(SYSTEM_ALARM_ACE_TYPE, 0, GENERIC_ALL, userSid()),
                      Ace::make(ACCESS_DENIED_OBJECT_ACE_TYPE, 0, GENERIC_ALL, userSid(), type),
                      Ace::make(ACCESS_ALLOWED_OBJECT_ACE_TYPE, 0, GENERIC_ALL, userSid(), type),
                      Ace::make(SYSTEM_AUDIT_OBJECT_ACE_TYPE, 0, GENERIC_ALL, userSid()),
                      Ace::make(ACCESS_DENIED_OBJECT_ACE_TYPE, 0, DELETE, userSid(), std::nullopt, type),
                      Ace::make(ACCESS_ALLOWED_OBJECT_ACE_TYPE, 0, GENERIC_ALL, userSid())});
    // The object entries without an object type act as plain deny and allow entries.
    EXPECT_EQ(effectiveRights(dacl, otherUserSid(), kCaller), kAllFileRights & ~0x200u);
}

TEST(EffectiveRights, UnsupportedEntryTypesStillRaise) {
    Acl dacl = aclOf({Ace::allowed(GENERIC_ALL, userSid()), Ace::make(9, 0, GENERIC_ALL, userSid())});
    std::wstring text =
        failureOf<vexception>([&] { effectiveRights(dacl, otherUserSid(), kCaller); }).message();
    EXPECT_NE(text.find(L"Unsupported ACE type (9)"), std::wstring::npos) << text;
}

TEST(EffectiveRights, NoDaclGrantsEverythingAndAnEmptyOneTheOwnersRights) {
    EXPECT_EQ(effectiveRights(Acl(), otherUserSid(), kCaller), kAllFileRights);
    EXPECT_EQ(effectiveRights(Acl::emptyList(), otherUserSid(), kCaller), 0u);
    EXPECT_EQ(effectiveRights(Acl::emptyList(), userSid(), kCaller), kOwners);
}

TEST(EffectiveRights, TheCallerComesFromTheTokenInOrder) {
    SubstitutePlatform substitute;
    ScopedPlatform scoped(substitute);
    substitute.setToken(
        {userSid(),
         {{usersGroupSid()}, {administratorsGroup(), SE_GROUP_USE_FOR_DENY_ONLY}, {everyoneSid(), 0}},
         {SE_TAKE_OWNERSHIP_NAME},
         {}});
    Caller caller = callerSids();
    ASSERT_EQ(caller.sids.size(), 4u);
    EXPECT_EQ(caller.sids[0].sid, userSid());
    EXPECT_EQ(caller.sids[0].use, SidUse::enabled);
    EXPECT_EQ(caller.sids[1].sid, usersGroupSid());
    EXPECT_EQ(caller.sids[1].use, SidUse::enabled);
    EXPECT_EQ(caller.sids[2].use, SidUse::denyOnly);
    EXPECT_EQ(caller.sids[3].sid, everyoneSid());
    EXPECT_EQ(caller.sids[3].use, SidUse::disabled);
    EXPECT_FALSE(caller.takeOwnership); // held, not enabled
    substitute.token().enabled = {SE_TAKE_OWNERSHIP_NAME};
    EXPECT_TRUE(callerSids().takeOwnership);
}

} // namespace
