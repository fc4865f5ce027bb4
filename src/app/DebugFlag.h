// The debug flag: registry DWORD "Debug" of the configuration key, non-zero means on. Read on
// the first query and again on every 16th query after it; a failed read answers off.
#pragma once

namespace debugflag {

bool query();
// Forgets what was read, so that the next query reads the registry (tests change the value).
void reset();

} // namespace debugflag
