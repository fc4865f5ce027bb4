// Which process-creation call the program makes for an account, judged by the substitute's model
// of the documented privilege checks (Wine checks none: CreateProcessAsUserW succeeds there for
// any caller, and its CreateProcessWithTokenW ignores the token and starts the child with the
// process's own).
#include "commands/files/AccountProcess.h"

#include "app/Text.h"
#include "platform/Platform.h"
#include "support/FailureOf.h"
#include "support/Process.h"
#include "support/SecurityFixtures.h"
#include "support/SubstitutePlatform.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace testsupport;

class AccountProcess : public ::testing::Test {
protected:
    AccountProcess() : scoped(substitute) {}
    ~AccountProcess() override { RevertToSelf(); }

    // The thread impersonates (a copy of the process token, the only one Wine has), read as a
    // hosting account's token: it holds none of the privileges in question.
    void impersonateAccount() {
        ASSERT_TRUE(ImpersonateSelf(SecurityImpersonation)) << GetLastError();
        substitute.setThreadToken(SubstituteToken{userSid(), {{usersGroupSid()}}, {}, {}});
    }
    // The program's process token, holding `privileges` (none of them enabled yet).
    void processHolds(std::vector<std::wstring> privileges) {
        substitute.setToken({otherUserSid(), {{security::administratorsGroup()}}, std::move(privileges), {}});
    }
    static bool impersonating() {
        HANDLE token = nullptr;
        if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) return false;
        CloseHandle(token);
        return true;
    }
    static DWORD exitCodeOf(files::StartedProcess& child) {
        WaitForSingleObject(child.process.get(), 30000);
        DWORD code = 0;
        GetExitCodeProcess(child.process.get(), &code);
        return code;
    }
    files::StartedProcess start() {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        return files::startAsCaller(cmdLine(L"/c exit 7"), L"C:\\", startup, CREATE_NO_WINDOW, L"Unable to start");
    }
    int creations() const {
        return substitute.calls(Call::createProcess) + substitute.calls(Call::createProcessAsUser) +
               substitute.calls(Call::createProcessWithToken);
    }

    SubstitutePlatform substitute;
    ScopedPlatform scoped;
};

TEST_F(AccountProcess, AnAdministratorStartsTheAccountsProgramThroughItsImpersonatePrivilege) {
    // An elevated administrator holds SeImpersonatePrivilege and SeIncreaseQuotaPrivilege, not
    // SeAssignPrimaryTokenPrivilege: CreateProcessAsUserW would be refused for the account's token.
    processHolds({SE_IMPERSONATE_NAME, SE_INCREASE_QUOTA_NAME});
    impersonateAccount();
    files::StartedProcess child = start();
    EXPECT_EQ(exitCodeOf(child), 7u);
    EXPECT_EQ(substitute.calls(Call::createProcessWithToken), 1);
    EXPECT_EQ(substitute.calls(Call::createProcessAsUser), 0);
    EXPECT_TRUE(impersonating()); // back in the account's context
    const std::vector<std::wstring>& enabled = substitute.token().enabled;
    EXPECT_NE(std::find(enabled.begin(), enabled.end(), SE_IMPERSONATE_NAME), enabled.end());
}

TEST_F(AccountProcess, AServiceAssignsTheAccountsTokenAsPrimary) {
    processHolds({SE_IMPERSONATE_NAME, SE_INCREASE_QUOTA_NAME, SE_ASSIGNPRIMARYTOKEN_NAME});
    impersonateAccount();
    files::StartedProcess child = start();
    EXPECT_EQ(exitCodeOf(child), 7u);
    EXPECT_EQ(substitute.calls(Call::createProcessAsUser), 1);
    EXPECT_EQ(substitute.calls(Call::createProcessWithToken), 0);
    EXPECT_TRUE(impersonating());
}

TEST_F(AccountProcess, WithoutThePrivilegesNothingStartsAndTheThreadStaysTheAccounts) {
    processHolds({SE_INCREASE_QUOTA_NAME, SE_BACKUP_NAME});
    impersonateAccount();
    std::string failure = failureOf<std::runtime_error>([&] { start(); }).what();
    EXPECT_EQ(failure.rfind("Unable to start (" + text::toUtf8(cmdLine(L"/c exit 7")) + "): (1314) ", 0), 0u)
        << failure;
    EXPECT_EQ(creations(), 0);
    EXPECT_TRUE(impersonating());
}

TEST_F(AccountProcess, TheCallWhileImpersonatingWouldBeRefused) {
    // What the program did before: CreateProcessAsUserW on the impersonating thread, where the
    // account's own privileges are the ones checked.
    processHolds({SE_IMPERSONATE_NAME, SE_INCREASE_QUOTA_NAME, SE_ASSIGNPRIMARYTOKEN_NAME});
    substitute.token().enabled = substitute.token().privileges;
    impersonateAccount();
    platform::Handle thread, primary;
    ASSERT_TRUE(OpenThreadToken(GetCurrentThread(), TOKEN_DUPLICATE | TOKEN_QUERY, TRUE, thread.receive()));
    ASSERT_TRUE(DuplicateTokenEx(thread.get(), TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary,
                                 primary.receive()));
    std::wstring line = cmdLine(L"/c exit 7");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    EXPECT_EQ(platform::current().createProcessAsUser(primary.get(), line, FALSE, CREATE_NO_WINDOW, L"C:\\",
                                                      &startup, &info),
              DWORD(ERROR_PRIVILEGE_NOT_HELD));
    EXPECT_EQ(platform::current().createProcessWithToken(primary.get(), 0, line, CREATE_NO_WINDOW, L"C:\\",
                                                         &startup, &info),
              DWORD(ERROR_PRIVILEGE_NOT_HELD));
}

TEST_F(AccountProcess, AThreadActingAsTheProcessStartsWithTheProcessToken) {
    processHolds({});
    files::StartedProcess child = start();
    EXPECT_EQ(exitCodeOf(child), 7u);
    EXPECT_EQ(substitute.calls(Call::createProcess), 1);
    EXPECT_EQ(creations(), 1);
}

} // namespace
