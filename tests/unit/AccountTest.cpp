#include "identity/Account.h"

#include "app/Exceptions.h"
#include "support/FailureOf.h"
#include "support/SecurityFixtures.h"
#include "support/SubstitutePlatform.h"

#include <gtest/gtest.h>

namespace {

using namespace testsupport;

TEST(Account, BuiltinAdministratorIsTheAccountDomainWithRid500) {
    std::wstring sid = identity::builtinAdministrator().toString();
    EXPECT_EQ(sid.rfind(L"S-1-5-21-", 0), 0u) << sid;
    EXPECT_EQ(sid.substr(sid.size() - 4), L"-500");
}

TEST(Account, SidWithRidAppendsOneSubAuthority) {
    security::Sid domain = security::Sid::fromString(L"S-1-5-21-1-2-3");
    EXPECT_EQ(security::Sid::withRid(domain, 1000).toString(), L"S-1-5-21-1-2-3-1000");
    EXPECT_EQ(domain.toString(), L"S-1-5-21-1-2-3");
    EXPECT_THROW(security::Sid::withRid(security::Sid(), 500), std::runtime_error);
}

TEST(Account, WellKnownNamesResolveThroughTheQualifiers) {
    EXPECT_EQ(identity::resolveAccount(L"Administrators"), security::administratorsGroup());
    EXPECT_EQ(identity::resolveAccount(L"SYSTEM"), security::localSystem());
    security::AccountName name = security::administratorsGroup().lookup();
    EXPECT_EQ(name.qualified(), L"BUILTIN\\Administrators");
}

TEST(Account, AnUnknownNameIsNoneMapped) {
    auto e = failureOf<RunTime::NoneMappedException>([] { identity::resolveAccount(L"no-such-user-4711"); });
    EXPECT_EQ(std::string(e.what()).rfind("Unable to lookup SID for name no-such-user-4711: (1332) ", 0), 0u)
        << e.what();
}

TEST(Account, TheAccountDomainIsTriedFirst) {
    SubstitutePlatform substitute;
    ScopedPlatform scoped(substitute);
    substitute.setAccountDomain(security::Sid::fromString(L"S-1-5-21-7-8-9"), L"WEB01");
    substitute.addAccount({L"WEB01", L"alice", userSid()});
    substitute.addAccount({L"BUILTIN", L"alice", otherUserSid(), SidTypeAlias});
    EXPECT_EQ(identity::resolveAccount(L"alice"), userSid());
    EXPECT_EQ(substitute.calls(Call::lookupAccountName, L"WEB01\\alice"), 1);
    EXPECT_EQ(substitute.calls(Call::lookupAccountName, L"BUILTIN\\alice"), 0);
}

TEST(Account, ALookupFailingWithTheBuffersItAskedForIsReported) {
    SubstitutePlatform substitute;
    ScopedPlatform scoped(substitute);
    substitute.setAccountDomain(security::Sid::fromString(L"S-1-5-21-7-8-9"), L"WEB01");
    substitute.failNext(Call::lookupAccountName, L"WEB01\\bob", ERROR_INSUFFICIENT_BUFFER);
    substitute.failNext(Call::lookupAccountName, L"WEB01\\bob", ERROR_ACCESS_DENIED);
    auto e = failureOf<RunTime::AccessDeniedException>([] { identity::resolveAccount(L"bob"); });
    EXPECT_EQ(std::string(e.what()).rfind("Unable to lookup SID for name bob: (5) ", 0), 0u) << e.what();
    EXPECT_EQ(substitute.calls(Call::lookupAccountName, L"BUILTIN\\bob"), 0);
}

} // namespace
