// Running Quarn inside the test process: captured console output and event-log reports.
#pragma once
#include "app/Log.h"
#include "commands/Quarn.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

namespace testsupport {

struct EventRecord {
    int level;
    std::wstring message;
};

// While alive, console output and event-log reports of the log are captured; the "something
// printed" switch is cleared, so that the capture starts like a fresh process.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const std::string& out() const { return *out_; }
    const std::vector<EventRecord>& events() const { return *events_; }
    void clear();

private:
    std::shared_ptr<std::string> out_;
    std::shared_ptr<std::vector<EventRecord>> events_;
    std::unique_ptr<ConsoleSink> oldConsole_;
    std::unique_ptr<EventSink> oldEvents_;
};

struct InProcessResult {
    std::string out;
    int exitCode;
    std::vector<EventRecord> events;
};

// Runs `quarn ARGS...` in-process (argv[0] is supplied) with the given command factory.
InProcessResult runInProcess(const std::vector<std::wstring>& arguments, CommandFactory factory);
// ... with the program's own command table.
InProcessResult runInProcess(const std::vector<std::wstring>& arguments);

// Sets (or, with nullopt, deletes) a value of the configuration key for the object's lifetime;
// the old state comes back afterwards. The debug flag is re-read on the next query.
class ScopedConfigDword {
public:
    ScopedConfigDword(const wchar_t* name, std::optional<DWORD> value);
    ~ScopedConfigDword();

private:
    std::wstring name_;
    std::optional<DWORD> old_;
};

class ScopedConfigString {
public:
    ScopedConfigString(const wchar_t* name, std::optional<std::wstring> value);
    ~ScopedConfigString();

private:
    std::wstring name_;
    std::optional<std::wstring> old_;
};

} // namespace testsupport
