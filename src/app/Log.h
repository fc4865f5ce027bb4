// Logging: levels 0-5 go to the console (UTF-8 on standard output) and to the event log as the
// execute context's switches say, and to every listener. Consecutive console messages are
// separated by one "\n"; nothing follows the last.
#pragma once
#include "app/Exceptions.h"
#include "app/Format.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Where event-log messages go: the Windows event log in production; tests install a recorder.
class EventSink {
public:
    virtual ~EventSink() = default;
    // Reports one message (event type by level); false when reporting failed.
    virtual bool report(int level, const std::wstring& message) = 0;
};

// Where console output goes: the standard-output handle in production; tests capture it.
class ConsoleSink {
public:
    virtual ~ConsoleSink() = default;
    virtual void write(const std::string& bytes) = 0;
};

class LogListener {
public:
    virtual ~LogListener() = default;
    virtual void message(int level, const std::wstring& text) = 0;
};

class LogManager {
public:
    static LogManager& instance();

    template <class... Args> void log(int level, std::wstring_view f, const Args&... args) {
        write(level, format(f, args...), nullptr);
    }
    void log(int level, const vexception& e);
    // One console message of UTF-8 bytes handed over in pieces by `next` (false when none is
    // left): a document too large to hold whole. The console only, under the level's switch and
    // separator like any message.
    void logPieces(int level, const std::function<bool(std::string& piece)>& next);
    // True when a message of `level` would reach a sink or a listener: callers skip building
    // costly trace texts (account look-ups) that would go nowhere.
    bool reaches(int level) const;

    // Event log only, at the given level's event type (used by the XML error reports).
    void reportEvent(int level, const std::wstring& message);
    // A warning the command survives: level 1, and the event log whatever the switches say.
    void warn(const std::wstring& message) {
        log(1, L"%s", message);
        reportEvent(1, message);
    }

    void addListener(LogListener* listener) { listeners_.push_back(listener); }
    // Replaces the sinks; returns the previous ones (tests restore them).
    std::unique_ptr<EventSink> setEventSink(std::unique_ptr<EventSink> sink);
    std::unique_ptr<ConsoleSink> setConsoleSink(std::unique_ptr<ConsoleSink> sink);

private:
    LogManager();
    void write(int level, const std::wstring& text, const vexception* e);
    void toConsole(const std::string& bytes);

    std::unique_ptr<EventSink> events_;
    std::unique_ptr<ConsoleSink> console_;
    std::vector<LogListener*> listeners_;
};

// The Windows event log: the source is the program's file name, registered under the log named
// by the registry value "TarnisService"; without that value nothing is reported.
std::unique_ptr<EventSink> makeWindowsEventLog();
std::unique_ptr<ConsoleSink> makeStdoutConsole();
