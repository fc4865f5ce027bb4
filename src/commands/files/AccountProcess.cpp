#include "commands/files/AccountProcess.h"

#include "app/Exceptions.h"
#include "platform/Platform.h"
#include "security/Token.h"

#include <cstdlib>

namespace files {
namespace {

// The thread acts as the process for as long as this lives, then goes back to `token` (the
// account's impersonation token).
class RevertedThread {
public:
    explicit RevertedThread(HANDLE token) : token_(token), error_(platform::current().revertToSelf()) {}
    ~RevertedThread() {
        // A thread that cannot go back would go on with the program's own rights wherever the
        // command leads it next (a failure's clean-up writes files): nothing may run on.
        if (platform::current().impersonateLoggedOnUser(token_) != ERROR_SUCCESS) std::abort();
    }
    RevertedThread(const RevertedThread&) = delete;
    RevertedThread& operator=(const RevertedThread&) = delete;

    DWORD error() const { return error_; }

private:
    HANDLE token_;
    DWORD error_;
};

// Makes the call that the process's own privileges allow (see the header); the thread acts as
// the process here. Privileges are enabled first: Windows checks enabled privileges only.
DWORD createAsAccount(HANDLE primary, std::wstring& line, const std::wstring& directory, STARTUPINFOW& startup,
                      DWORD flags, PROCESS_INFORMATION* info) {
    platform::Platform& p = platform::current();
    security::Token own = security::Token::process(TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES);
    if (own.holds(SE_ASSIGNPRIMARYTOKEN_NAME) && own.holds(SE_INCREASE_QUOTA_NAME)) {
        own.enable(SE_ASSIGNPRIMARYTOKEN_NAME);
        own.enable(SE_INCREASE_QUOTA_NAME);
        return p.createProcessAsUser(primary, line, TRUE, flags, directory, &startup, info);
    }
    if (own.holds(SE_IMPERSONATE_NAME)) {
        own.enable(SE_IMPERSONATE_NAME);
        // This call takes no handle inheritance and no extended start-up information: the
        // standard handles of the start-up information are what the child is handed. Wine 8's
        // CreateProcessWithTokenW is a semi-stub that starts the child with the process's own
        // token and without handing on those handles, so under Wine neither that the child runs
        // as the account nor that its output arrives can be seen (the substitute models the
        // privilege check only); a service (the first branch) shows both under Wine.
        STARTUPINFOW plain = startup;
        plain.cb = sizeof plain;
        return p.createProcessWithToken(primary, 0, line, flags & ~EXTENDED_STARTUPINFO_PRESENT, directory, &plain,
                                        info);
    }
    return ERROR_PRIVILEGE_NOT_HELD;
}

} // namespace

void raiseStartFailure(const wchar_t* failure, const std::wstring& commandLine, DWORD code) {
    raiseRunTimeError(code, L"%s (%s)", failure, commandLine);
}

StartedProcess startAsCaller(const std::wstring& commandLine, const std::wstring& directory, STARTUPINFOW& startup,
                             DWORD flags, const wchar_t* failure) {
    auto fail = [&](DWORD code) { raiseStartFailure(failure, commandLine, code); };
    platform::Platform& p = platform::current();
    std::wstring line = commandLine; // the API may write into it
    PROCESS_INFORMATION info{};

    platform::Handle impersonation;
    DWORD error = p.openThreadToken(TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_IMPERSONATE, TRUE, impersonation.receive());
    if (error == ERROR_NO_TOKEN) {
        if ((error = p.createProcess(line, TRUE, flags, directory, &startup, &info))) fail(error);
        return {platform::Handle(info.hProcess), platform::Handle(info.hThread)};
    }
    if (error) fail(error);
    platform::Handle primary;
    if (!DuplicateTokenEx(impersonation.get(), TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY, nullptr,
                          SecurityImpersonation, TokenPrimary, primary.receive()))
        fail(GetLastError());
    {
        RevertedThread reverted(impersonation.get());
        if (reverted.error()) fail(reverted.error());
        error = createAsAccount(primary.get(), line, directory, startup, flags, &info);
    }
    if (error) fail(error);
    return {platform::Handle(info.hProcess), platform::Handle(info.hThread)};
}

} // namespace files
