#include "identity/ThreadIdentity.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "support/SubstitutePlatform.h"

#include <gtest/gtest.h>

#include <exception>
#include <thread>

namespace {

using testsupport::Call;

// Whether the calling thread holds a token of its own, and at which level.
std::optional<SECURITY_IMPERSONATION_LEVEL> heldLevel() {
    security::Token held = security::Token::thread(TOKEN_QUERY, TRUE);
    if (!held.valid()) return std::nullopt;
    return held.impersonationLevel();
}

// Runs `f` on a new thread and hands back what it raised.
template <class F> std::exception_ptr onNewThread(F f) {
    std::exception_ptr raised;
    std::thread([&] {
        try {
            f();
        } catch (...) {
            raised = std::current_exception();
        }
    }).join();
    return raised;
}

DWORD codeOf(const std::exception_ptr& raised) {
    try {
        std::rethrow_exception(raised);
    } catch (const RunTime::Error& e) {
        return e.code();
    } catch (...) {
        return 0;
    }
}

class ThreadIdentity : public ::testing::Test {
protected:
    ~ThreadIdentity() override { RevertToSelf(); }
};

TEST_F(ThreadIdentity, ANewThreadRunsAsTheProcessUntilItTakesOnTheCallersToken) {
    ASSERT_TRUE(ImpersonateSelf(SecurityImpersonation));
    const identity::ThreadIdentity identity = identity::ThreadIdentity::ofCallingThread();
    const security::Sid user = security::Token::thread(TOKEN_QUERY, TRUE).user();
    std::optional<SECURITY_IMPERSONATION_LEVEL> before, after;
    std::optional<security::Sid> afterUser;
    EXPECT_EQ(onNewThread([&] {
                  before = heldLevel();
                  identity.assume();
                  after = heldLevel();
                  afterUser = security::Token::thread(TOKEN_QUERY, TRUE).user();
              }),
              nullptr);
    EXPECT_FALSE(before.has_value()); // what Windows gives every thread it starts
    ASSERT_TRUE(after.has_value());
    EXPECT_GE(*after, SecurityImpersonation);
    EXPECT_EQ(afterUser, user);
}

TEST_F(ThreadIdentity, TheProcessContextNeedsNothing) {
    const identity::ThreadIdentity identity = identity::ThreadIdentity::ofCallingThread();
    std::optional<SECURITY_IMPERSONATION_LEVEL> after;
    EXPECT_EQ(onNewThread([&] {
                  identity.assume();
                  after = heldLevel();
              }),
              nullptr);
    EXPECT_FALSE(after.has_value());
}

TEST_F(ThreadIdentity, AnIdentificationTokenOpensNothingAndIsRefused) {
    // What a program without SeImpersonatePrivilege receives from Windows for another user.
    ASSERT_TRUE(ImpersonateSelf(SecurityIdentification));
    const identity::ThreadIdentity identity = identity::ThreadIdentity::ofCallingThread();
    std::exception_ptr raised = onNewThread([&] { identity.assume(); });
    ASSERT_NE(raised, nullptr);
    EXPECT_EQ(codeOf(raised), DWORD(ERROR_BAD_IMPERSONATION_LEVEL));
}

TEST_F(ThreadIdentity, ARefusedImpersonationRaisesAndLeavesTheThreadAsItWas) {
    testsupport::SubstitutePlatform substitute;
    testsupport::ScopedPlatform platform(substitute);
    ASSERT_TRUE(ImpersonateSelf(SecurityImpersonation));
    const identity::ThreadIdentity identity = identity::ThreadIdentity::ofCallingThread();
    substitute.failNext(Call::impersonateLoggedOnUser, L"", ERROR_ACCESS_DENIED);
    std::optional<SECURITY_IMPERSONATION_LEVEL> after;
    std::exception_ptr raised = onNewThread([&] {
        try {
            identity.assume();
        } catch (...) {
            after = heldLevel();
            throw;
        }
    });
    ASSERT_NE(raised, nullptr);
    EXPECT_EQ(codeOf(raised), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_NE(messageOf(raised).find(L"Unable to impersonate thread"), std::wstring::npos);
    EXPECT_FALSE(after.has_value());
}

TEST_F(ThreadIdentity, ATokenOfAnotherUserIsRefused) {
    // The substitute reads the command thread's token as one account, and the token the new
    // thread holds afterwards as another.
    testsupport::SubstitutePlatform substitute;
    testsupport::ScopedPlatform platform(substitute);
    ASSERT_TRUE(ImpersonateSelf(SecurityImpersonation));
    substitute.setThreadToken(testsupport::SubstituteToken{security::Sid::fromString(L"S-1-5-21-7-8-9-1001"), {}, {}, {}});
    const identity::ThreadIdentity identity = identity::ThreadIdentity::ofCallingThread();
    substitute.setThreadToken(testsupport::SubstituteToken{security::Sid::fromString(L"S-1-5-21-7-8-9-1002"), {}, {}, {}});
    std::exception_ptr raised = onNewThread([&] { identity.assume(); });
    ASSERT_NE(raised, nullptr);
    EXPECT_NE(messageOf(raised).find(L"The thread does not run as S-1-5-21-7-8-9-1001"), std::wstring::npos)
        << text::toUtf8(messageOf(raised));
}

} // namespace
