#include "identity/ThreadIdentity.h"

#include "app/Exceptions.h"
#include "platform/Platform.h"

namespace identity {

ThreadIdentity::ThreadIdentity(security::Token token) : token_(std::move(token)) {
    if (token_.valid()) user_ = token_.user();
}

ThreadIdentity ThreadIdentity::ofCallingThread() {
    // Opened as the process: the account may hold no right on its own impersonation token.
    return ThreadIdentity(security::Token::thread(TOKEN_QUERY | TOKEN_IMPERSONATE, TRUE));
}

void ThreadIdentity::assume() const {
    if (!token_.valid()) return; // a thread starts in the process's context
    if (DWORD error = platform::current().impersonateLoggedOnUser(token_.get()))
        raiseRunTimeError(error, L"Unable to impersonate thread");
    const security::Token held = security::Token::thread(TOKEN_QUERY, TRUE);
    if (!held.valid() || held.user() != *user_ || held.impersonationLevel() < SecurityImpersonation)
        raiseRunTimeError(ERROR_BAD_IMPERSONATION_LEVEL, L"The thread does not run as %s", user_->toString());
}

} // namespace identity
