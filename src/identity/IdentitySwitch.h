// The identity switch around a command: prepare runs in the program's own (administrative)
// context, execute in the target account's. The thread is never switched back.
#pragma once
#include "app/RunAsUser.h"
#include "security/Sid.h"

namespace identity {

// Runs `command.prepare()` and, unless it cancels, `command.execute()` as `target` (the built-in
// Administrator when it is empty).
void switchIdentity(RunTime::RunAsUser& command, const security::Sid& target);

} // namespace identity
