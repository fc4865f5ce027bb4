#include "app/Account.h"
#include "app/Exceptions.h"

#include <gtest/gtest.h>

namespace {

TEST(Account, BuiltinAdministratorIsTheAccountDomainWithRid500) {
    std::wstring sid = account::builtinAdministrator().toString();
    EXPECT_EQ(sid.rfind(L"S-1-5-21-", 0), 0u) << sid;
    EXPECT_EQ(sid.substr(sid.size() - 4), L"-500");
}

TEST(Account, SidWithRidAppendsOneSubAuthority) {
    security::Sid domain = security::Sid::fromString(L"S-1-5-21-1-2-3");
    EXPECT_EQ(security::Sid::withRid(domain, 1000).toString(), L"S-1-5-21-1-2-3-1000");
    EXPECT_EQ(domain.toString(), L"S-1-5-21-1-2-3");
    EXPECT_THROW(security::Sid::withRid(security::Sid(), 500), std::runtime_error);
}

} // namespace
