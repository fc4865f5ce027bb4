// The debug flag: registry DWORD "Debug" of the configuration key, non-zero means on. Read on
// the first query and again on every 16th query after it; a failed read makes that query answer
// off and leaves the last value read in force.
#pragma once

namespace debugflag {

bool query();
// Forgets what was read, so that the next query reads the registry (tests change the value).
void reset();

} // namespace debugflag
