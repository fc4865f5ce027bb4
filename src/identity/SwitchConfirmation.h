// What the program checks after the run-as service reported success: a "success" that left the
// thread without the account's token would let the work run with the program's own rights.
#pragma once
#include "security/Sid.h"
#include "security/Token.h"

namespace identity {

// The token acts as `account`: its user is the account, or it holds the account as an enabled
// group that is not for deny only (a group target: access checks then match the group's entries).
bool actsAs(const security::Token& token, const security::Sid& account);

// The thread now holds a token that acts as `account`; raises a run-time error naming the
// account when the thread has no token of its own or one of another account.
void confirmSwitchTo(const security::Sid& account);

// The thread now holds an administrative token: the built-in Administrator's, or one that holds
// the Administrators group enabled (the run-as service may give the panel's own administrator).
void confirmAdministrativeSwitch(const security::Sid& administrator);

} // namespace identity
