#include "support/Process.h"

#include "platform/Handle.h"

#include <gtest/gtest.h>

#include <thread>

namespace testsupport {

std::wstring builtProgram(const std::wstring& fileName) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir = self;
    for (;;) {
        size_t cut = dir.find_last_of(L'\\');
        if (cut == std::wstring::npos) break;
        dir.resize(cut);
        std::wstring candidate = dir + L"\\" + fileName;
        if (GetFileAttributesW(candidate.c_str()) != INVALID_FILE_ATTRIBUTES) return candidate;
        std::wstring inTools = dir + L"\\tools\\" + fileName;
        if (GetFileAttributesW(inTools.c_str()) != INVALID_FILE_ATTRIBUTES) return inTools;
    }
    ADD_FAILURE() << "built program not found";
    return fileName;
}

namespace {

std::wstring commandLine(const std::wstring& program, const std::vector<std::wstring>& arguments) {
    std::wstring line = quoteArgument(program);
    for (const std::wstring& a : arguments) line += L" " + quoteArgument(a);
    return line;
}

} // namespace

RunResult runProgram(const std::wstring& program, const std::vector<std::wstring>& arguments, const std::string& input,
                     DWORD timeoutMs) {
    return runProgramAs(nullptr, program, arguments, input, timeoutMs);
}

RunResult runProgramAs(HANDLE token, const std::wstring& program, const std::vector<std::wstring>& arguments,
                       const std::string& input, DWORD timeoutMs) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    platform::Handle outRead, outWrite, inRead, inWrite;
    if (!CreatePipe(outRead.receive(), outWrite.receive(), &inherit, 0) ||
        !CreatePipe(inRead.receive(), inWrite.receive(), &inherit, 0)) {
        ADD_FAILURE() << "CreatePipe failed";
        return {"", 0xFFFFFFFF};
    }
    SetHandleInformation(outRead.get(), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(inWrite.get(), HANDLE_FLAG_INHERIT, 0);
    platform::FileHandle nul(CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr));

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = inRead.get();
    si.hStdOutput = outWrite.get();
    si.hStdError = nul.get();
    PROCESS_INFORMATION pi{};
    std::wstring line = commandLine(program, arguments);
    BOOL started = token ? CreateProcessAsUserW(token, program.c_str(), line.data(), nullptr, nullptr, TRUE, 0,
                                                nullptr, nullptr, &si, &pi)
                         : CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                          &si, &pi);
    if (!started) {
        ADD_FAILURE() << "CreateProcess failed: " << GetLastError();
        return {"", 0xFFFFFFFF};
    }
    platform::Handle process(pi.hProcess), thread(pi.hThread);
    outWrite.reset();
    inRead.reset();

    std::thread feeder([&] {
        DWORD written = 0;
        if (!input.empty()) WriteFile(inWrite.get(), input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
        inWrite.reset();
    });
    RunResult result;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(outRead.get(), buffer, sizeof buffer, &n, nullptr) && n > 0) result.out.append(buffer, n);
    feeder.join();
    if (WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 0xFFFFFFFF);
        ADD_FAILURE() << "program did not end in time";
    }
    GetExitCodeProcess(process.get(), &result.exitCode);
    return result;
}

std::wstring cmdLine(const std::wstring& arguments) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    return quoteArgument(std::wstring(system) + L"\\cmd.exe") + L" " + arguments;
}

RunResult runQuarn(const std::vector<std::wstring>& arguments, const std::string& input) {
    return runProgram(builtProgram(L"quarn.exe"), arguments, input);
}

RunResult runQuarnWithoutAdministrators(const std::vector<std::wstring>& arguments, const std::string& input) {
    platform::Handle own, restricted;
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof administrators;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, own.receive()) ||
        !CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size)) {
        ADD_FAILURE() << "no token to restrict: " << GetLastError();
        return {"", 0xFFFFFFFF};
    }
    SID_AND_ATTRIBUTES denyOnly{administrators, 0};
    if (!CreateRestrictedToken(own.get(), 0, 1, &denyOnly, 0, nullptr, 0, nullptr, restricted.receive())) {
        ADD_FAILURE() << "CreateRestrictedToken failed: " << GetLastError();
        return {"", 0xFFFFFFFF};
    }
    return runProgramAs(restricted.get(), builtProgram(L"quarn.exe"), arguments, input);
}

BackgroundProcess::BackgroundProcess(const std::wstring& program, const std::vector<std::wstring>& arguments) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring line = commandLine(program, arguments);
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &info_))
        ADD_FAILURE() << "CreateProcess failed: " << GetLastError();
}

BackgroundProcess::~BackgroundProcess() { stop(); }

bool BackgroundProcess::running() const {
    return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

void BackgroundProcess::stop() {
    if (!info_.hProcess) return;
    if (running()) {
        TerminateProcess(info_.hProcess, 0);
        WaitForSingleObject(info_.hProcess, 10000);
    }
    CloseHandle(info_.hProcess);
    CloseHandle(info_.hThread);
    info_ = {};
}

} // namespace testsupport
