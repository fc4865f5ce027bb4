#include "commands/files/ArchiverProcess.h"

#include "app/Exceptions.h"
#include "platform/Handle.h"
#include "platform/Platform.h"

#include <vector>

namespace files {
namespace {

[[noreturn]] void cannotStart(const std::wstring& commandLine, DWORD code) {
    raiseRunTimeError(code, L"Unable to start the archiver (%s)", commandLine);
}

// The impersonation token of the thread as a primary token; empty when the thread acts as the
// process itself.
platform::Handle primaryTokenOfThread(const std::wstring& commandLine) {
    platform::Handle thread;
    DWORD e = platform::current().openThreadToken(TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ASSIGN_PRIMARY, TRUE,
                                                  thread.receive());
    if (e == ERROR_NO_TOKEN) return {};
    if (e) cannotStart(commandLine, e);
    platform::Handle primary;
    if (!DuplicateTokenEx(thread.get(), TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary,
                          primary.receive()))
        cannotStart(commandLine, GetLastError());
    return primary;
}

} // namespace

ArchiverResult runArchiver(const std::wstring& commandLine, const std::wstring& workingDirectory, [[maybe_unused]] DWORD maxSeconds) {
    platform::Handle token = primaryTokenOfThread(commandLine);

    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    platform::Handle readEnd, writeEnd;
    platform::FileHandle nul;
    if (!CreatePipe(readEnd.receive(), writeEnd.receive(), &inheritable, 0))
        cannotStart(commandLine, GetLastError());
    SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
    nul.reset(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                          OPEN_EXISTING, 0, nullptr));
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

    std::wstring line = commandLine; // the API may write into it
    PROCESS_INFORMATION info{};
    const DWORD flags = CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT | EXTENDED_STARTUPINFO_PRESENT;
    BOOL started =
        token ? CreateProcessAsUserW(token.get(), nullptr, line.data(), nullptr, nullptr, TRUE, flags,
                                     nullptr, workingDirectory.c_str(), &startup.StartupInfo, &info)
              : CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr,
                               workingDirectory.c_str(), &startup.StartupInfo, &info);
    if (!started) cannotStart(commandLine, GetLastError());
    platform::Handle process(info.hProcess), thread(info.hThread);
    writeEnd.reset(); // the pipe ends when the child's copy closes

    ArchiverResult result;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd.get(), buffer, sizeof buffer, &got, nullptr) && got)
        result.output.append(buffer, got);
    WaitForSingleObject(process.get(), INFINITE);
    if (!GetExitCodeProcess(process.get(), &result.exitCode)) cannotStart(commandLine, GetLastError());
    return result;
}

} // namespace files
