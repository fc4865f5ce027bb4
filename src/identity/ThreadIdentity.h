// The security context the command thread runs in, carried to a thread that shares its work.
// Windows starts every thread with the process token, never with the impersonation token of the
// thread that created it: a worker that skipped this would act with the program's own rights.
#pragma once
#include "security/Token.h"

#include <optional>

namespace identity {

class ThreadIdentity {
public:
    // The calling thread's context: its impersonation token, or the process's own context when
    // the thread holds none.
    static ThreadIdentity ofCallingThread();

    // Puts the calling thread into that context and confirms it: afterwards the thread holds a
    // token of the same user at SecurityImpersonation or above. Raises "Unable to impersonate thread" with the refusal, or
    // "The thread does not run as %s" when Windows gave it less (a program without
    // SeImpersonatePrivilege receives an identification token, with which nothing opens).
    void assume() const;

private:
    explicit ThreadIdentity(security::Token token);

    security::Token token_; // not valid: the process's context
    std::optional<security::Sid> user_;
};

} // namespace identity
