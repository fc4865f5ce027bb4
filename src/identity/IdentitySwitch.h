// The identity switch around a command: prepare runs in the program's own (administrative)
// context, execute in the target account's. The thread is never switched back.
#pragma once
#include "app/RunAsUser.h"
#include "security/Sid.h"

namespace identity {

// Runs `command.prepare()` and, unless it cancels, `command.execute()` as `target` (the built-in
// Administrator when it is empty).
void switchIdentity(RunTime::RunAsUser& command, const security::Sid& target);

// Puts the calling thread into the built-in Administrator's context through the run-as service
// and confirms that it holds an administrative token afterwards (raising a run-time error when it
// does not). A thread that acts as the process itself needs no switch: that happens only when the
// program is an administrator and the command runs as an administrative account.
void switchToAdministrator();

} // namespace identity
