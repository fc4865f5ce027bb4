// An archiver program started for one operation, with the rights of the account the thread acts
// for, its run time and the output kept from it bounded.
#pragma once
#include "commands/files/UnpackLimits.h"

#include <cstddef>
#include <string>

#include <windows.h>

namespace files {

// The output kept from one run; what comes after it is read and dropped.
inline constexpr size_t kArchiverOutputLimit = 64 * 1024;

struct ArchiverLimits {
    DWORD maxSeconds = kDefaultMaxSeconds; // the run time after which it is ended
    size_t maxOutput = kArchiverOutputLimit;
};

struct ArchiverResult {
    DWORD exitCode = 0;
    std::string output;     // standard output and standard error, as the program wrote them (bounded)
    bool timedOut = false;  // ended by this program after the limit: its work is not to be trusted
    bool outputCut = false; // it wrote more than the limit kept
};

// Starts `commandLine` in `workingDirectory` (see startAsCaller: the account's token when the
// thread impersonates one, never the process's own administrative one) and waits for it. An
// archiver still running after `limits.maxSeconds` is ended (TerminateProcess) and waited for.
// Its output is read through a pipe all along, so that it never blocks on a full pipe and nothing
// it writes reaches this program's standard output. "Unable to start the archiver (%s)" with the
// Win32 code when it cannot be started.
ArchiverResult runArchiver(const std::wstring& commandLine, const std::wstring& workingDirectory,
                           const ArchiverLimits& limits = {});

} // namespace files
