// The panel's management service as a separate process (panel-standin.exe) on its real pipe,
// answering from a settings file written from the given text.
#pragma once
#include "platform/Handle.h"
#include "support/Process.h"

#include <memory>
#include <string>

namespace testsupport {

// A pipe name of its own for a test: "\\.\pipe\quarn-test-" followed by a fresh GUID.
std::wstring uniquePipeName();

// Only one service can own "\\.\pipe\tnapipe": tests that use that pipe (in this process or in
// another test program run at the same time) hold this lock while they do.
class ServicePipeLock {
public:
    ServicePipeLock();
    ~ServicePipeLock();
    ServicePipeLock(const ServicePipeLock&) = delete;
    ServicePipeLock& operator=(const ServicePipeLock&) = delete;

private:
    platform::Handle mutex_;
};

class PanelStandin {
public:
    // Starts the stand-in and waits until its pipe accepts connections (fails the test if not).
    explicit PanelStandin(const std::string& settingsText);
    ~PanelStandin();
    PanelStandin(const PanelStandin&) = delete;
    PanelStandin& operator=(const PanelStandin&) = delete;

    // Stops it: cleanly through "--stop" first, by process id when that does not work.
    void stop();

private:
    ServicePipeLock lock_;
    std::wstring settingsFile_;
    std::unique_ptr<BackgroundProcess> process_;
};

} // namespace testsupport
