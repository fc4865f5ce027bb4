// Starting a program with the rights of the account the calling thread acts for, the way Windows
// permits it for this program's own privileges.
#pragma once
#include "platform/Handle.h"

#include <string>

#include <windows.h>

namespace files {

struct StartedProcess {
    platform::Handle process;
    platform::Handle thread;
};

// Starts `commandLine` in `directory`. A thread that acts as the process itself starts the child
// with the process token (CreateProcessW). A thread that impersonates an account gives the child
// that account's token, never the program's own, and makes the call with the thread reverted to
// the process, so that Windows checks the privileges the program really holds:
//  - SeAssignPrimaryTokenPrivilege and SeIncreaseQuotaPrivilege (service accounts): CreateProcessAsUserW;
//  - otherwise SeImpersonatePrivilege (administrators, services): CreateProcessWithTokenW, which
//    has no handle inheritance: the standard handles of `startup` reach the child, no others;
//  - otherwise ERROR_PRIVILEGE_NOT_HELD.
// The thread is back in the account's context before this returns or raises. Failures raise the
// run-time error `failure` (with the command line) and the Win32 code.
// Raises the run-time error "`failure` (`commandLine`)" with `code`.
[[noreturn]] void raiseStartFailure(const wchar_t* failure, const std::wstring& commandLine, DWORD code);

StartedProcess startAsCaller(const std::wstring& commandLine, const std::wstring& directory, STARTUPINFOW& startup,
                             DWORD flags, const wchar_t* failure);

} // namespace files
