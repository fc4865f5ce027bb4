// An access token of the current process or thread with typed accessors: the token's bytes are
// read through the platform and taken apart here, nowhere else.
#pragma once
#include "platform/Handle.h"
#include "security/Sid.h"

#include <optional>
#include <vector>

#include <windows.h>

namespace security {

// A SID of the token with its attributes (the user's as well as a group's).
struct TokenGroup {
    Sid sid;
    DWORD attributes = 0;
    // SE_GROUP_USE_FOR_DENY_ONLY: the SID only ever matches access-denied entries.
    bool denyOnly() const { return (attributes & SE_GROUP_USE_FOR_DENY_ONLY) != 0; }
    // SE_GROUP_ENABLED: the group takes part in access checks.
    bool enabled() const { return (attributes & SE_GROUP_ENABLED) != 0; }
};

struct TokenPrivilege {
    LUID luid{};
    DWORD attributes = 0;
    bool enabled() const { return (attributes & SE_PRIVILEGE_ENABLED) != 0; }
};

class Token {
public:
    // The process token; `failure` is the message of a refused open.
    static Token process(DWORD access, const wchar_t* failure = L"Unable to open process token");
    // The thread's token when the thread has one, otherwise the process's ("Unable to open a
    // thread token", "Unable to open a process token").
    static Token caller(DWORD access);
    // The thread's token, or an empty Token when the thread has none.
    static Token thread(DWORD access, BOOL openAsSelf);

    bool valid() const { return handle_.valid(); }
    HANDLE get() const { return handle_.get(); }

    Sid user() const;
    // The user SID with its attributes: a restricted token may make it deny-only.
    TokenGroup userEntry() const;
    std::vector<TokenGroup> groups() const;
    std::vector<TokenPrivilege> privileges() const;
    // How far a thread holding this impersonation token may act as its user: a token below
    // SecurityImpersonation lets the thread identify the user but open nothing as it.
    SECURITY_IMPERSONATION_LEVEL impersonationLevel() const;
    // The token user, then every group in order, whatever its attributes.
    std::vector<Sid> sids() const;

    // The token lists the privilege (enabled or not).
    bool holds(const wchar_t* privilege) const;
    // The token lists the privilege and it is enabled.
    bool holdsEnabled(const wchar_t* privilege) const;
    // Enables the privilege ("Unable to find privilege (%s)", "Unable to adjust privilege (%s)").
    void enable(const wchar_t* privilege);
    // Enables the privilege when the token lists it; a privilege not held is left alone.
    bool enableIfHeld(const wchar_t* privilege);

private:
    explicit Token(platform::Handle handle) : handle_(std::move(handle)) {}
    // The size-then-fill query of one information class; `failure` names a refused query.
    std::vector<BYTE> information(TOKEN_INFORMATION_CLASS cls, const wchar_t* failure) const;
    // The token's entry for a privilege, when it lists it.
    std::optional<TokenPrivilege> privilege(const wchar_t* name) const;

    platform::Handle handle_;
};

// The caller's token (thread, else process) lists the privilege.
bool hasPrivilege(const wchar_t* privilege);
// Enables the privilege in the caller's token.
void enablePrivilege(const wchar_t* privilege);

// The LUID of a privilege name ("Unable to find privilege (%s)").
LUID privilegeValue(const wchar_t* privilege);

} // namespace security
