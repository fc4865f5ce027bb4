#include "security/Ace.h"

#include "app/Exceptions.h"
#include "support/FailureOf.h"
#include "support/SecurityFixtures.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace security;
using testsupport::failureOf;
using testsupport::userSid;

constexpr GUID kFirst = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr GUID kSecond = {0xAAAAAAAA, 0xBBBB, 0xCCCC, {9, 10, 11, 12, 13, 14, 15, 16}};

bool same(const std::optional<GUID>& a, const GUID& b) {
    return a && std::memcmp(&*a, &b, sizeof b) == 0;
}

TEST(Ace, PlainEntriesKeepTheirParts) {
    Ace ace = Ace::denied(0x1F01FF, userSid(), 0x13);
    EXPECT_EQ(ace.type(), ACCESS_DENIED_ACE_TYPE);
    EXPECT_EQ(ace.flags(), 0x13);
    EXPECT_EQ(ace.mask(), 0x1F01FFu);
    EXPECT_EQ(ace.sid(), userSid());
    EXPECT_TRUE(ace.isDeny());
    EXPECT_EQ(Ace(ace.data()), ace);
    EXPECT_EQ(failureOf<vexception>([&] { ace.objectType(); }).message(), L"Not X_X_OBJECT_ACE_TYPE");
    EXPECT_EQ(failureOf<vexception>([&] { ace.inheritedObjectType(); }).message(), L"Not object type ACE");
    for (BYTE type : {SYSTEM_AUDIT_ACE_TYPE, SYSTEM_ALARM_ACE_TYPE})
        EXPECT_EQ(Ace::make(type, 0, 1, userSid()).sid(), userSid());
}

TEST(Ace, ObjectEntriesFindTheirSidBehindThePresentGuids) {
    struct Case {
        std::optional<GUID> object, inherited;
    };
    for (const Case& c : {Case{}, Case{kFirst, {}}, Case{{}, kSecond}, Case{kFirst, kSecond}}) {
        for (BYTE type = ACCESS_ALLOWED_OBJECT_ACE_TYPE; type <= SYSTEM_ALARM_OBJECT_ACE_TYPE; ++type) {
            Ace ace = Ace::make(type, 0x2, 0x120089, userSid(), c.object, c.inherited);
            // Copied through its raw bytes, as it comes out of a DACL.
            Ace copy(ace.data());
            EXPECT_EQ(copy.sid(), userSid()) << int(type);
            EXPECT_EQ(copy.mask(), 0x120089u);
            EXPECT_EQ(copy.isDeny(), type == ACCESS_DENIED_OBJECT_ACE_TYPE);
            EXPECT_EQ(copy.objectType().has_value(), c.object.has_value());
            EXPECT_EQ(copy.inheritedObjectType().has_value(), c.inherited.has_value());
            EXPECT_TRUE(!c.object || same(copy.objectType(), kFirst));
            EXPECT_TRUE(!c.inherited || same(copy.inheritedObjectType(), kSecond));
        }
    }
}

TEST(Ace, WithChangesFlagsAndMaskOnlyEvenOfAnObjectEntry) {
    const Sid user = Sid::fromString(L"S-1-5-21-7-8-9-1001");
    Ace object = Ace::make(ACCESS_ALLOWED_OBJECT_ACE_TYPE, CONTAINER_INHERIT_ACE, 0x1, user, kFirst, kSecond);
    Ace changed = object.with(INHERITED_ACE | OBJECT_INHERIT_ACE, 0x1F01FF);
    EXPECT_EQ(changed, Ace::make(ACCESS_ALLOWED_OBJECT_ACE_TYPE, INHERITED_ACE | OBJECT_INHERIT_ACE, 0x1F01FF,
                                 user, kFirst, kSecond));
    EXPECT_EQ(object.flags(), CONTAINER_INHERIT_ACE); // the original is left as it was
}

TEST(Ace, UnsupportedTypesFailWhenTheSidIsNeeded) {
    for (BYTE type : {BYTE(4), BYTE(9), BYTE(17)}) {
        Ace ace = Ace::make(type, 0, 1, userSid());
        EXPECT_EQ(ace.type(), type); // the entry itself can be carried
        EXPECT_EQ(failureOf<vexception>([&] { ace.sid(); }).message(),
                  format(L"Unsupported ACE type (%d)", type));
    }
}

TEST(Ace, ASidReachingBeyondTheEntryIsRefused) {
    Ace ace = Ace::allowed(1, userSid());
    std::vector<BYTE> bytes(static_cast<const BYTE*>(ace.data()),
                            static_cast<const BYTE*>(ace.data()) + ace.size());
    bytes[9] = 15; // sub-authority count far beyond the entry's size
    EXPECT_EQ(failureOf<vexception>([&] { Ace(bytes.data()).sid(); }).message(), L"Malformed ACE");
    // An object entry too short for the GUIDs it announces.
    Ace object = Ace::make(ACCESS_ALLOWED_OBJECT_ACE_TYPE, 0, 1, userSid(), kFirst, kSecond);
    std::vector<BYTE> cut(static_cast<const BYTE*>(object.data()),
                          static_cast<const BYTE*>(object.data()) + 40);
    reinterpret_cast<ACE_HEADER*>(cut.data())->AceSize = 40;
    EXPECT_EQ(failureOf<vexception>([&] { Ace(cut.data()).sid(); }).message(), L"Malformed ACE");
    EXPECT_EQ(failureOf<vexception>([&] { Ace(cut.data()).inheritedObjectType(); }).message(),
              L"Malformed ACE");
}

} // namespace
