#include "support/Standin.h"

#include "identity/RunAsClient.h"
#include "ipc/TarnisSrvProtocol.h"

#include <gtest/gtest.h>

namespace testsupport {
namespace {

constexpr DWORD kStartTimeoutMs = 20000;
constexpr DWORD kStopTimeoutMs = 10000;

std::wstring writeTemporaryFile(const std::string& content) {
    wchar_t dir[MAX_PATH] = {}, path[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, dir);
    if (!GetTempFileNameW(dir, L"pst", 0, path)) {
        ADD_FAILURE() << "GetTempFileName failed: " << GetLastError();
        return {};
    }
    platform::FileHandle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    if (!file || !WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr))
        ADD_FAILURE() << "writing the settings file failed: " << GetLastError();
    return path;
}

bool waitUntil(DWORD timeoutMs, auto condition) {
    for (ULONGLONG end = GetTickCount64() + timeoutMs; GetTickCount64() < end; Sleep(20))
        if (condition()) return true;
    return condition();
}

} // namespace

std::wstring uniquePipeName() {
    GUID id{};
    CoCreateGuid(&id);
    wchar_t text[40] = {};
    StringFromGUID2(id, text, 40);
    return std::wstring(L"\\\\.\\pipe\\quarn-test-") + text;
}

ServicePipeLock::ServicePipeLock() : mutex_(CreateMutexW(nullptr, FALSE, L"QuarnTests.ServicePipe")) {
    if (!mutex_) {
        ADD_FAILURE() << "CreateMutex failed: " << GetLastError();
        return;
    }
    DWORD result = WaitForSingleObject(mutex_.get(), 180000);
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
        ADD_FAILURE() << "the service pipe stayed in use by another test";
        mutex_.reset();
    }
}

ServicePipeLock::~ServicePipeLock() {
    if (mutex_) ReleaseMutex(mutex_.get());
}

PanelStandin::PanelStandin(const std::string& settingsText) : settingsFile_(writeTemporaryFile(settingsText)) {
    std::wstring program = builtProgram(L"panel-standin.exe");
    process_ = std::make_unique<BackgroundProcess>(program, std::vector<std::wstring>{settingsFile_});
    auto exists = [](const wchar_t* pipe) {
        return WaitNamedPipeW(pipe, 0) || GetLastError() == ERROR_SEM_TIMEOUT; // all instances busy for the moment
    };
    bool listening = waitUntil(kStartTimeoutMs, [&] {
        return !process_->running() || (exists(tarnissrv::kPipeName) && exists(RunTime::kRunAsPipeName));
    });
    if (!listening || !process_->running()) ADD_FAILURE() << "panel-standin did not start listening";
}

PanelStandin::~PanelStandin() { stop(); }

void PanelStandin::stop() {
    if (!process_) return;
    if (process_->running()) {
        RunResult result = runProgram(builtProgram(L"panel-standin.exe"), {L"--stop"}, "", kStopTimeoutMs);
        if (result.exitCode != 0 || !waitUntil(kStopTimeoutMs, [&] { return !process_->running(); }))
            ADD_FAILURE() << "panel-standin did not stop cleanly";
    }
    process_->stop(); // by process id, if it is still there
    process_.reset();
    if (!settingsFile_.empty()) DeleteFileW(settingsFile_.c_str());
    settingsFile_.clear();
}

} // namespace testsupport
