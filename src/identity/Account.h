// Target accounts: the built-in Administrator account and the resolution of account names.
#pragma once
#include "security/Sid.h"

#include <string>

namespace identity {

// The machine's account-domain SID extended by the relative identifier 500.
security::Sid builtinAdministrator();

// The SID of an account name, tried with the qualifiers of the account domain, the built-in
// domain and the NT authority in turn; "Unable to lookup SID for name %s" (1332) when none knows it.
security::Sid resolveAccount(const std::wstring& name);

// The SID of a name as given (qualified or not); "Unable to lookup SID for name %s" otherwise.
security::Sid lookupAccount(const std::wstring& name);

} // namespace identity
