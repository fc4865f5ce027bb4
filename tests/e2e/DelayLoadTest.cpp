#include "app/Text.h"
#include "support/PolicyFixtures.h"
#include "support/Process.h"
#include "support/Standin.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using testsupport::builtProgram;
using testsupport::quoteArgument;

// The DLLs the program links delay-loaded: a command that never calls into them must not load
// them.
const std::vector<std::wstring> kDelayed = {L"user32.dll",  L"ole32.dll",   L"oleaut32.dll", L"dbghelp.dll",
                                            L"shlwapi.dll", L"ws2_32.dll",  L"secur32.dll",  L"crypt32.dll",
                                            L"bcrypt.dll",  L"netapi32.dll"};
// Those of them a classic command for ROOT does not reach: it reads the account domain through
// netapi32, which brings ws2_32 with it.
const std::vector<std::wstring> kBesideAccounts = {L"user32.dll",  L"ole32.dll",   L"oleaut32.dll",
                                                   L"dbghelp.dll", L"shlwapi.dll", L"secur32.dll",
                                                   L"crypt32.dll", L"bcrypt.dll"};

std::wstring fileNameOf(HANDLE file) {
    std::wstring path(1024, L'\0');
    DWORD length =
        GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
    if (length == 0 || length >= path.size()) return L"";
    path.resize(length);
    std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    for (wchar_t& c : name)
        c = static_cast<wchar_t>(towlower(c));
    return name;
}

struct Loads {
    std::set<std::wstring> dlls; // lower-case file names
    DWORD exitCode = 0xFFFFFFFF;
};

// Runs the program to its end under the debugging API, which reports every DLL the process
// loads (delay-loaded ones included, when they load).
Loads dllsLoadedBy(const std::wstring& program, const std::vector<std::wstring>& arguments) {
    std::wstring line = quoteArgument(program);
    for (const std::wstring& a : arguments)
        line += L" " + quoteArgument(a);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdOutput = si.hStdError = nul;
    PROCESS_INFORMATION info{};
    Loads loaded;
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, DEBUG_ONLY_THIS_PROCESS,
                        nullptr, nullptr, &si, &info)) {
        ADD_FAILURE() << "cannot start " << text::toUtf8(program) << ": " << GetLastError();
        CloseHandle(nul);
        return loaded;
    }
    for (bool running = true; running;) {
        DEBUG_EVENT event{};
        if (!WaitForDebugEvent(&event, 60000)) {
            ADD_FAILURE() << "no debug event within 60 s";
            TerminateProcess(info.hProcess, 1);
            break;
        }
        DWORD status = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile) CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile) {
                loaded.dlls.insert(fileNameOf(event.u.LoadDll.hFile));
                CloseHandle(event.u.LoadDll.hFile);
            }
            break;
        case EXCEPTION_DEBUG_EVENT:
            // The loader's initial breakpoint is the debugger's; every other exception is the
            // program's own to handle.
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                status = DBG_EXCEPTION_NOT_HANDLED;
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            loaded.exitCode = event.u.ExitProcess.dwExitCode;
            running = false;
            break;
        default:
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    CloseHandle(nul);
    return loaded;
}

void expectNoneLoaded(const Loads& loaded, DWORD exitCode, const std::vector<std::wstring>& dlls) {
    EXPECT_EQ(loaded.exitCode, exitCode);
    // The watch itself works: the C runtime's DLL is always there.
    EXPECT_TRUE(loaded.dlls.count(L"msvcrt.dll")) << "no DLL load seen";
    for (const std::wstring& dll : dlls)
        EXPECT_FALSE(loaded.dlls.count(dll)) << text::toUtf8(dll) << " loaded";
}

TEST(DelayLoad, UsageTextLoadsNoDelayedDll) {
    expectNoneLoaded(dllsLoadedBy(builtProgram(L"quarn.exe"), {}), 1, kDelayed);
}

TEST(DelayLoad, FileExistsLeavesComAloneAndAnXmlCommandLoadsIt) {
    testsupport::ScratchTree tree(L"C:");
    tree.file(L"vhosts\\site\\index.html", "<html/>");
    testsupport::PanelStandin standin(
        "[strings]\nPRODUCT_ROOT_D=" + text::toUtf8(tree.path(L"product")) +
        "\nPRODUCT_DATA_D=\nHTTPD_VHOSTS_D=" + text::toUtf8(tree.path(L"vhosts")) +
        "\nCATALINA_HOME=\nDUMP_D=\n[components]\nfrontpage:2=\n");
    std::wstring quarn = builtProgram(L"quarn.exe");
    expectNoneLoaded(dllsLoadedBy(quarn, {L"ROOT", L"file_exists", tree.path(L"vhosts\\site\\index.html")}),
                     0, kBesideAccounts);
    // The delayed DLLs still load when they are called: --ex-info writes its document with MSXML.
    std::wstring page = tree.path(L"vhosts\\site\\index.html");
    Loads xml = dllsLoadedBy(quarn, {L"ROOT", L"--ex-info", L"--path=" + page});
    EXPECT_EQ(xml.exitCode, 0u);
    EXPECT_TRUE(xml.dlls.count(L"ole32.dll"));
}

} // namespace
