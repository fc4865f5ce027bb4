#include "identity/SwitchConfirmation.h"

#include "app/Exceptions.h"

#include <algorithm>

namespace identity {
namespace {

// The thread's own token; an empty one when the thread still acts as the process.
security::Token threadToken() { return security::Token::thread(TOKEN_QUERY, TRUE); }

[[noreturn]] void unconfirmed(const security::Sid& account) {
    raiseRunTimeError(0, L"The run-as service reported a switch to %s, but the thread does not run as it",
                      account.toString());
}

} // namespace

bool actsAs(const security::Token& token, const security::Sid& account) {
    if (token.user() == account) return true;
    std::vector<security::TokenGroup> groups = token.groups();
    return std::any_of(groups.begin(), groups.end(), [&](const security::TokenGroup& g) {
        return g.sid == account && (g.attributes & SE_GROUP_ENABLED) && !g.denyOnly();
    });
}

void confirmSwitchTo(const security::Sid& account) {
    security::Token token = threadToken();
    if (!token.valid() || !actsAs(token, account)) unconfirmed(account);
}

void confirmAdministrativeSwitch(const security::Sid& administrator) {
    security::Token token = threadToken();
    if (!token.valid() || !(actsAs(token, administrator) || actsAs(token, security::administratorsGroup())))
        unconfirmed(administrator);
}

} // namespace identity
