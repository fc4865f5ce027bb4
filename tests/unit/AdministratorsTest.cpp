#include "identity/Administrators.h"

#include "app/Exceptions.h"
#include "identity/Account.h"
#include "support/FailureOf.h"
#include "support/SecurityFixtures.h"
#include "support/SubstitutePlatform.h"

#include <gtest/gtest.h>

namespace {

using namespace testsupport;

const security::Sid kDomain = security::Sid::fromString(L"S-1-5-21-7-8-9");
const security::Sid kTnaadm = security::Sid::fromString(L"S-1-5-21-7-8-9-1010");
const security::Sid kPanelAdmin = security::Sid::fromString(L"S-1-5-21-7-8-9-1011");

class AdministratorsTest : public ::testing::Test {
protected:
    AdministratorsTest() : scoped(substitute) { substitute.setAccountDomain(kDomain, L"WEB01"); }
    SubstitutePlatform substitute;
    ScopedPlatform scoped;
};

TEST_F(AdministratorsTest, OnlyAnAdministratorsGroupThatIsNotDenyOnlyCounts) {
    substitute.setToken({userSid(), {{everyoneSid()}, {security::administratorsGroup()}}, {}, {}});
    EXPECT_TRUE(identity::isAdministrator());
    substitute.setToken({userSid(), {{security::administratorsGroup(), SE_GROUP_USE_FOR_DENY_ONLY}}, {}, {}});
    EXPECT_FALSE(identity::isAdministrator());
    substitute.setToken({userSid(), {}, {}, {}});
    EXPECT_FALSE(identity::isAdministrator());
}

TEST_F(AdministratorsTest, BuiltInIdentitiesNeedNoLookup) {
    EXPECT_TRUE(identity::isAdministrativeAccount(security::Sid::withRid(kDomain, 500)));
    EXPECT_TRUE(identity::isAdministrativeAccount(security::administratorsGroup()));
    EXPECT_EQ(substitute.calls(Call::lookupAccountName), 0);
}

TEST_F(AdministratorsTest, PanelAdministratorsAreLookedUpInOrder) {
    substitute.addAccount({L"WEB01", L"tnaadm", kTnaadm});
    substitute.addAccount({L"WEB01", L"Tarnis Administrator", kPanelAdmin});
    substitute.addAccount({L"WEB01", L"alice", userSid()});
    EXPECT_TRUE(identity::isAdministrativeAccount(kTnaadm));
    EXPECT_EQ(substitute.calls(Call::lookupAccountName, L"WEB01\\Tarnis Administrator"), 0);
    EXPECT_TRUE(identity::isAdministrativeAccount(kPanelAdmin));
    EXPECT_FALSE(identity::isAdministrativeAccount(userSid()));
}

TEST_F(AdministratorsTest, AMissingPanelAdministratorIsALookupError) {
    auto e = failureOf<RunTime::NoneMappedException>([] { identity::isAdministrativeAccount(userSid()); });
    EXPECT_EQ(std::string(e.what()).rfind("Unable to lookup SID for name tnaadm: (1332)", 0), 0u) << e.what();
}

} // namespace
