#include "identity/IdentitySwitch.h"

#include "app/Exceptions.h"
#include "app/Log.h"
#include "identity/Account.h"
#include "identity/Administrators.h"
#include "identity/RunAsClient.h"
#include "identity/SwitchConfirmation.h"
#include "security/Token.h"

namespace identity {
namespace {

// The account the thread acts as now (thread token, else process token), for the trace.
void traceEffectiveIdentity(const wchar_t* when) {
    if (!LogManager::instance().reaches(0)) return; // a token query and an account look-up for nothing
    security::Sid user = security::Token::caller(TOKEN_QUERY).user();
    LogManager::instance().log(0, L"%s: running as %s", when, user.displayName());
}

// Runs the check of a switch; when it fails, the command reports the failure and false comes back.
template <class Check> bool confirmed(RunTime::RunAsUser& command, Check check) {
    try {
        check();
        return true;
    } catch (...) {
        command.reportSwitchFailure();
        return false;
    }
}

// Asks the run-as service for the built-in Administrator's context (a refusal raises); the
// token is not confirmed yet.
security::Sid requestAdministrator() {
    security::Sid builtin = builtinAdministrator();
    RunTime::RunAsClient::instance().runAsUserImpersonated(builtin);
    return builtin;
}

} // namespace

void switchIdentity(RunTime::RunAsUser& command, const security::Sid& given) {
    // A command started without a target account runs as the built-in Administrator.
    const security::Sid target = given.empty() ? builtinAdministrator() : given;
    RunTime::RunAsClient& client = RunTime::RunAsClient::instance();
    const bool administrator = isAdministrator();
    // Any status but -1 counts as success, so the service's word is not taken for it: the token
    // the thread holds afterwards decides whether the work may go on.
    if (!administrator) {
        const security::Sid builtin = requestAdministrator();
        if (!confirmed(command, [&] { confirmAdministrativeSwitch(builtin); })) return;
    }

    if (std::optional<security::AccountName> name = target.lookupIfMapped()) {
        command.targetName = name->name;
        command.targetDomain = name->domain;
    }
    traceEffectiveIdentity(L"prepare");
    try {
        command.prepare();
    } catch (const RunTime::CancelPrepareException&) {
        return;
    }
    if (!(administrator && isAdministrativeAccount(target))) {
        if (command.runAsFlag())
            client.runAsUserImpersonated(target);
        else
            client.runAsUser(target);
        if (!confirmed(command, [&] { confirmSwitchTo(target); })) return;
    }
    traceEffectiveIdentity(L"execute");
    command.execute();
}

void switchToAdministrator() {
    if (!security::Token::thread(TOKEN_QUERY, TRUE).valid()) return;
    confirmAdministrativeSwitch(requestAdministrator());
}

} // namespace identity
