#include "commands/DiskSecurity.h"

namespace DiskSecurity {

bool governs(const std::wstring&) { return false; }
void requireFor(const std::wstring&) {}
void dropEntries(const std::wstring&) {}
void save() {}

} // namespace DiskSecurity
