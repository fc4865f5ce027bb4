// The hooks of the hosting disk-security engine that rm, rmdir and mkdir call; beside the command
// bases, so that --permissions reaches them as well. This build has no engine: no path is
// governed, and the hooks that act do nothing.
#pragma once
#include <string>

namespace DiskSecurity {

// Whether the engine manages the path.
bool governs(const std::wstring& path);
// The engine's check of a governed path before an operation; raises when the engine refuses.
void requireFor(const std::wstring& path);
// Forgets the engine's entries for the path and everything below it.
void dropEntries(const std::wstring& path);
// Writes the engine's metadata back.
void save();

} // namespace DiskSecurity
