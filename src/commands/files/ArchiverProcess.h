// An archiver program started for one operation, with the rights of the account the thread acts
// for.
#pragma once
#include <string>

#include <windows.h>

namespace files {

struct ArchiverResult {
    DWORD exitCode = 0;
    std::string output; // standard output and standard error, as the program wrote them
};

// Starts `commandLine` in `workingDirectory` and waits for it. When the thread impersonates an
// account, the program runs with that account's token (duplicated as a primary token), never with
// the process's own administrative one; otherwise with the process token. Its output is read
// through a pipe, so that nothing it writes reaches this program's standard output. "Unable to
// start the archiver (%s)" with the Win32 code when it cannot be started.
ArchiverResult runArchiver(const std::wstring& commandLine, const std::wstring& workingDirectory, DWORD maxSeconds = 0);

} // namespace files
