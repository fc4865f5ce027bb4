// Which identities count as administrative.
#pragma once
#include "security/Sid.h"
#include "security/Token.h"

namespace identity {

// The process token's groups hold the built-in Administrators group without the deny-only mark.
bool isAdministrator();

// The built-in Administrator, the Administrators group, "tnaadm" or "Tarnis Administrator",
// compared in this order; the two names are resolved only when needed, and a name that does
// not resolve raises the look-up error.
bool isAdministrativeAccount(const security::Sid& sid);

} // namespace identity
