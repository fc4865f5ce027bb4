// Running the project's Windows programs as separate processes, as the panel runs them.
#pragma once
#include "commands/files/ArchiveCommandLine.h"

#include <string>
#include <vector>

#include <windows.h>

namespace testsupport {

struct RunResult {
    std::string out; // standard output, bytes as written
    DWORD exitCode = 0;
};

// The folder of a built program (quarn.exe, panel-standin.exe): searched upward from the test
// program's own folder.
std::wstring builtProgram(const std::wstring& fileName);

// Quotes one argument for a Windows command line: the program's own quoting.
using files::quoteArgument;

// Runs a program to its end with the given arguments and standard input; standard error is
// discarded. Fails the test (and returns exit code 0xFFFFFFFF) when the program cannot start.
RunResult runProgram(const std::wstring& program, const std::vector<std::wstring>& arguments,
                     const std::string& input = "", DWORD timeoutMs = 60000);

// The same, started with `token` as the program's primary token (CreateProcessAsUserW).
RunResult runProgramAs(HANDLE token, const std::wstring& program, const std::vector<std::wstring>& arguments,
                       const std::string& input = "", DWORD timeoutMs = 60000);

// A command line for the system's command interpreter (cmd.exe) with the given arguments.
std::wstring cmdLine(const std::wstring& arguments);

// quarn.exe with the given arguments.
RunResult runQuarn(const std::vector<std::wstring>& arguments, const std::string& input = "");

// quarn.exe started with a copy of this process's token in which the Administrators group is for
// deny only, so that it is not an administrator. Wine knows none of the panel's own administrator
// accounts ("tnaadm", "Tarnis Administrator"), and an administrator's run for an ordinary account
// must look them up; a program that is no administrator does not, and asks the run-as service
// both for the Administrator (its checks) and for the account (the operation).
RunResult runQuarnWithoutAdministrators(const std::vector<std::wstring>& arguments, const std::string& input = "");

// A background process (the stand-in services), ended by process id when the object goes.
class BackgroundProcess {
public:
    BackgroundProcess(const std::wstring& program, const std::vector<std::wstring>& arguments);
    ~BackgroundProcess();
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;
    DWORD id() const { return info_.dwProcessId; }
    bool running() const;
    void stop();

private:
    PROCESS_INFORMATION info_{};
};

} // namespace testsupport
