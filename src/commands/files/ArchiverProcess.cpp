#include "commands/files/ArchiverProcess.h"

#include "app/Exceptions.h"
#include "commands/files/AccountProcess.h"
#include "platform/Handle.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace files {
namespace {

constexpr const wchar_t* kCannotStart = L"Unable to start the archiver";
// The exit code of an archiver this program ended.
constexpr DWORD kEndedExitCode = WAIT_TIMEOUT;

[[noreturn]] void cannotStart(const std::wstring& commandLine, DWORD code) {
    raiseStartFailure(kCannotStart, commandLine, code);
}

// A wait of `seconds`, finite whatever the number.
DWORD waitMilliseconds(DWORD seconds) {
    return static_cast<DWORD>(std::min<ULONGLONG>(ULONGLONG(seconds) * 1000, INFINITE - 1));
}

// Ends the archiver once it has run for the limit; returns as soon as it ends on its own.
class Watchdog {
public:
    Watchdog(HANDLE process, DWORD seconds) : process_(process) {
        try {
            thread_ = std::thread([this, seconds] {
                if (WaitForSingleObject(process_, waitMilliseconds(seconds)) != WAIT_TIMEOUT) return;
                fired_ = true;
                TerminateProcess(process_, kEndedExitCode);
            });
        } catch (...) {
            // Without the watchdog nothing bounds the run: it does not run at all.
            TerminateProcess(process_, kEndedExitCode);
            WaitForSingleObject(process_, INFINITE);
            throw;
        }
    }
    ~Watchdog() {
        if (thread_.joinable()) thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;
    // Waits for the watchdog (the process must have ended); true when it ended the process.
    bool finish() {
        if (thread_.joinable()) thread_.join();
        return fired_;
    }

private:
    HANDLE process_;
    std::atomic<bool> fired_{false};
    std::thread thread_;
};

} // namespace

ArchiverResult runArchiver(const std::wstring& commandLine, const std::wstring& workingDirectory,
                           const ArchiverLimits& limits) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    platform::Handle readEnd, writeEnd;
    platform::FileHandle nul;
    if (!CreatePipe(readEnd.receive(), writeEnd.receive(), &inheritable, 0)) cannotStart(commandLine, GetLastError());
    SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
    nul.reset(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0,
                          nullptr));
    if (!nul) cannotStart(commandLine, GetLastError());

    // Only the pipe and the empty input pass to the child, not every inheritable handle of ours.
    HANDLE passed[] = {nul.get(), writeEnd.get()};
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<BYTE> attributeBuffer(size);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeBuffer.data());
    if (!InitializeProcThreadAttributeList(attributes, 1, 0, &size)) cannotStart(commandLine, GetLastError());
    struct AttributeList {
        LPPROC_THREAD_ATTRIBUTE_LIST list;
        ~AttributeList() { DeleteProcThreadAttributeList(list); }
    } owner{attributes};
    if (!UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, passed, sizeof passed,
                                   nullptr, nullptr))
        cannotStart(commandLine, GetLastError());

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = nul.get();
    startup.StartupInfo.hStdOutput = writeEnd.get();
    startup.StartupInfo.hStdError = writeEnd.get();
    startup.lpAttributeList = attributes;

    const DWORD flags = CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT | EXTENDED_STARTUPINFO_PRESENT;
    StartedProcess child = startAsCaller(commandLine, workingDirectory, startup.StartupInfo, flags, kCannotStart);
    writeEnd.reset(); // the pipe ends when the child's copy closes

    ArchiverResult result;
    {
        Watchdog watchdog(child.process.get(), limits.maxSeconds);
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(readEnd.get(), buffer, sizeof buffer, &got, nullptr) && got) {
            size_t kept = std::min<size_t>(got, limits.maxOutput - std::min(limits.maxOutput, result.output.size()));
            result.output.append(buffer, kept);
            if (kept < got) result.outputCut = true;
        }
        WaitForSingleObject(child.process.get(), INFINITE);
        result.timedOut = watchdog.finish();
    }
    if (!GetExitCodeProcess(child.process.get(), &result.exitCode)) cannotStart(commandLine, GetLastError());
    return result;
}

} // namespace files
