#include "security/Token.h"

#include "app/Exceptions.h"
#include "platform/Handle.h"
#include "support/FailureOf.h"
#include "support/SecurityFixtures.h"
#include "support/SubstitutePlatform.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace security;
using testsupport::Call;
using testsupport::failureOf;
using testsupport::ScopedPlatform;
using testsupport::SubstitutePlatform;
using testsupport::usersGroupSid;
using testsupport::userSid;

class TokenTest : public ::testing::Test {
protected:
    TokenTest() : scoped(substitute) {
        substitute.setToken({userSid(),
                             {{administratorsGroup(), SE_GROUP_USE_FOR_DENY_ONLY}, {usersGroupSid()}},
                             {SE_TAKE_OWNERSHIP_NAME, SE_BACKUP_NAME},
                             {}});
    }
    SubstitutePlatform substitute;
    ScopedPlatform scoped;
};

TEST_F(TokenTest, UserGroupsAndTheirDenyOnlyMark) {
    Token token = Token::caller(TOKEN_QUERY);
    EXPECT_EQ(token.user(), userSid());
    std::vector<TokenGroup> groups = token.groups();
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].sid, administratorsGroup());
    EXPECT_TRUE(groups[0].denyOnly());
    EXPECT_FALSE(groups[1].denyOnly());
    EXPECT_EQ(token.sids(), (std::vector<Sid>{userSid(), administratorsGroup(), usersGroupSid()}));
}

TEST_F(TokenTest, PrivilegesHeldAndEnabled) {
    EXPECT_TRUE(hasPrivilege(SE_TAKE_OWNERSHIP_NAME));
    EXPECT_FALSE(hasPrivilege(SE_DEBUG_NAME));
    enablePrivilege(SE_BACKUP_NAME);
    EXPECT_EQ(substitute.token().enabled, std::vector<std::wstring>{SE_BACKUP_NAME});
    std::vector<TokenPrivilege> privileges = Token::process(TOKEN_QUERY).privileges();
    ASSERT_EQ(privileges.size(), 2u);
    EXPECT_EQ(privileges[0].attributes, 0u);
    EXPECT_EQ(privileges[1].attributes, DWORD(SE_PRIVILEGE_ENABLED));
    Token token = Token::caller(TOKEN_QUERY);
    EXPECT_TRUE(token.holdsEnabled(SE_BACKUP_NAME));
    EXPECT_FALSE(token.holdsEnabled(SE_TAKE_OWNERSHIP_NAME)); // held, not enabled
    EXPECT_FALSE(token.holdsEnabled(SE_DEBUG_NAME));
}

TEST_F(TokenTest, FailuresCarryTheirMessages) {
    auto text = [](auto f) { return failureOf<vosexception>(f).message(); };
    EXPECT_NE(text([] {
                  enablePrivilege(SE_DEBUG_NAME);
              }).find(L" at Unable to adjust privilege (SeDebugPrivilege)"),
              std::wstring::npos);
    EXPECT_NE(text([] {
                  enablePrivilege(L"SeNoSuchPrivilege");
              }).find(L" at Unable to find privilege (SeNoSuchPrivilege)"),
              std::wstring::npos);
    substitute.failNext(Call::getTokenInformation, L"", ERROR_ACCESS_DENIED);
    EXPECT_NE(text([] { hasPrivilege(SE_BACKUP_NAME); }).find(L" at Unable to get token privileges"),
              std::wstring::npos);
    substitute.failNext(Call::openThreadToken, L"", ERROR_ACCESS_DENIED);
    EXPECT_NE(text([] { Token::caller(TOKEN_QUERY); }).find(L" at Unable to open a thread token"),
              std::wstring::npos);
    substitute.failNext(Call::openProcessToken, L"", ERROR_ACCESS_DENIED);
    EXPECT_NE(text([] { Token::caller(TOKEN_QUERY); }).find(L" at Unable to open a process token"),
              std::wstring::npos);
}

TEST(TokenUnderWine, TheProcessTokenIsAnElevatedAdministrator) {
    Token token = Token::process(TOKEN_QUERY);
    std::vector<TokenGroup> groups = token.groups();
    EXPECT_TRUE(std::any_of(groups.begin(), groups.end(), [](const TokenGroup& g) {
        return g.sid == administratorsGroup() && !g.denyOnly();
    }));
    EXPECT_FALSE(token.privileges().empty());
    EXPECT_FALSE(token.user().empty());
    EXPECT_FALSE(token.userEntry().denyOnly());
}

TEST(TokenUnderWine, ARestrictedTokenMarksItsDenyOnlyGroups) {
    platform::Handle process, restricted, impersonation;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, process.receive()));
    // Wine keeps the user SID enabled even when it is listed here, so only a group is tested.
    SID_AND_ATTRIBUTES denyOnly{administratorsGroup().get(), 0};
    ASSERT_TRUE(
        CreateRestrictedToken(process.get(), 0, 1, &denyOnly, 0, nullptr, 0, nullptr, restricted.receive()));
    ASSERT_TRUE(DuplicateTokenEx(restricted.get(), TOKEN_QUERY | TOKEN_IMPERSONATE, nullptr,
                                 SecurityImpersonation, TokenImpersonation, impersonation.receive()));
    ASSERT_TRUE(SetThreadToken(nullptr, impersonation.get()));
    Token token = Token::caller(TOKEN_QUERY);
    std::vector<TokenGroup> groups = token.groups();
    RevertToSelf();
    auto administrators = std::find_if(groups.begin(), groups.end(),
                                       [](const TokenGroup& g) { return g.sid == administratorsGroup(); });
    ASSERT_NE(administrators, groups.end());
    EXPECT_TRUE(administrators->denyOnly());
    EXPECT_FALSE(administrators->enabled());
}

} // namespace
