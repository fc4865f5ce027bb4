// Target accounts: the built-in Administrator account and the resolution of account names.
#pragma once
#include "app/Sid.h"

#include <string>

namespace account {

// The machine's account-domain SID extended by the relative identifier 500.
security::Sid builtinAdministrator();

// The SID of a named local account; "Unable to lookup SID for name %s" (1332) when unknown.
security::Sid resolveAccount(const std::wstring& name);

} // namespace account
