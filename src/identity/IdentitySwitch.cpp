#include "identity/IdentitySwitch.h"

#include "app/Exceptions.h"
#include "app/Log.h"
#include "identity/Account.h"
#include "identity/Administrators.h"
#include "identity/RunAsClient.h"
#include "security/Token.h"

namespace identity {
namespace {

// The account the thread acts as now (thread token, else process token), for the trace.
void traceEffectiveIdentity(const wchar_t* when) {
    if (!LogManager::instance().reaches(0)) return; // a token query and an account look-up for nothing
    security::Sid user = security::Token::caller(TOKEN_QUERY).user();
    LogManager::instance().log(0, L"%s: running as %s", when, user.displayName());
}

} // namespace

void switchIdentity(RunTime::RunAsUser& command, const security::Sid& given) {
    // A command started without a target account runs as the built-in Administrator.
    const security::Sid target = given.empty() ? builtinAdministrator() : given;
    RunTime::RunAsClient& client = RunTime::RunAsClient::instance();
    const bool administrator = isAdministrator();
    if (!administrator) client.runAsUserImpersonated(builtinAdministrator());

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
    }
    traceEffectiveIdentity(L"execute");
    command.execute();
}

} // namespace identity
