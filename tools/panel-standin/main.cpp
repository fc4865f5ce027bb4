// panel-standin: a stand-in for the panel's management service on "\\.\pipe\tnapipe" and its
// run-as service on "\\.\pipe\TNA_pipe {110D2F0F-...}", answering from a settings file.
//   panel-standin.exe SETTINGS_FILE   serves until stopped (--stop, Ctrl+C, console close)
//   panel-standin.exe --stop          stops a running stand-in; returns once it has
#include "ManagementService.h"
#include "PipeServer.h"
#include "RunAsService.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "identity/RunAsClient.h"
#include "ipc/TarnisSrvProtocol.h"
#include "platform/Handle.h"

#include <cstdio>
#include <string>
#include <thread>

namespace {

// The stop request, and a mutex the serving process holds until it has let go of its pipes.
const wchar_t* const kStopEventName = L"TarnisPanelStandin.Stop";
const wchar_t* const kRunningMutexName = L"TarnisPanelStandin.Running";
constexpr DWORD kStopTimeoutMs = 30000;

HANDLE stopEvent = nullptr;
HANDLE stoppedEvent = nullptr;

BOOL WINAPI onConsoleControl(DWORD) {
    SetEvent(stopEvent);
    // After a close event the process ends when this returns: give the server time to finish.
    WaitForSingleObject(stoppedEvent, 5000);
    return TRUE;
}

int fail(const std::wstring& message) {
    std::fprintf(stderr, "panel-standin: %s\n", text::toUtf8(message).c_str());
    return 1;
}

int stopRunning() {
    platform::Handle stop(OpenEventW(EVENT_MODIFY_STATE, FALSE, kStopEventName));
    platform::Handle running(OpenMutexW(SYNCHRONIZE, FALSE, kRunningMutexName));
    if (!stop || !running) return 0; // nothing is running
    SetEvent(stop.get());
    DWORD result = WaitForSingleObject(running.get(), kStopTimeoutMs);
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) return fail(L"the running stand-in did not stop in time");
    ReleaseMutex(running.get());
    return 0;
}

int serve(const std::wstring& settingsPath) {
    platform::Handle running(CreateMutexW(nullptr, TRUE, kRunningMutexName));
    if (!running) return fail(L"unable to create the running mutex");
    if (GetLastError() == ERROR_ALREADY_EXISTS) return fail(L"another panel stand-in is running");
    platform::Handle stop(CreateEventW(nullptr, TRUE, FALSE, kStopEventName));
    platform::Handle stopped(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stop || !stopped) return fail(L"unable to create the stop event");
    ResetEvent(stop.get());
    stopEvent = stop.get();
    stoppedEvent = stopped.get();
    SetConsoleCtrlHandler(onConsoleControl, TRUE);

    int result = 0;
    try {
        standin::Settings settings = standin::Settings::load(settingsPath);
        standin::RunAsService runAs(settings);
        standin::ManagementService management(std::move(settings));
        standin::PipeServer runAsServer(RunTime::kRunAsPipeName, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE,
                                        [&](standin::Connection& connection) { runAs.serve(connection); });
        standin::PipeServer server(tarnissrv::kPipeName, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE,
                                   [&](standin::Connection& connection) { management.serve(connection); });
        // Each service loop stops the other when it fails: the stand-in serves both or neither.
        std::wstring runAsFailure;
        std::thread runAsThread([&] {
            try {
                runAsServer.run(stop.get());
            } catch (const vexception& e) {
                runAsFailure = e.text(false);
                SetEvent(stop.get());
            }
        });
        try {
            server.run(stop.get());
        } catch (...) {
            SetEvent(stop.get());
            runAsThread.join();
            throw;
        }
        runAsThread.join();
        if (!runAsFailure.empty()) result = fail(runAsFailure);
    } catch (const vexception& e) {
        result = fail(e.text(false));
    }
    SetEvent(stopped.get());
    ReleaseMutex(running.get());
    return result;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wstring(argv[1]) == L"--stop") return stopRunning();
    if (argc == 2 && argv[1][0] != L'-') return serve(argv[1]);
    std::fprintf(stderr, "usage: panel-standin.exe SETTINGS_FILE\n       panel-standin.exe --stop\n");
    return 1;
}
