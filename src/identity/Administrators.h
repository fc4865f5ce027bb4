// Which identities count as administrative.
#pragma once
#include "security/Sid.h"
#include "security/Token.h"

namespace identity {

// The token's groups (the process token's when none is given) hold the built-in Administrators
// group without the deny-only mark.
bool isAdministrator(const security::Token* token = nullptr);

// The built-in Administrator, the Administrators group, "tnaadm" or "Tarnis Administrator",
// compared in this order; the two names are resolved only when needed, and a name that does
// not resolve raises the look-up error.
bool isAdministrativeAccount(const security::Sid& sid);

} // namespace identity
