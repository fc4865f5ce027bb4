#include "app/Log.h"

#include "app/DebugFlag.h"
#include "app/ExecuteContext.h"
#include "app/Registry.h"
#include "app/Text.h"
#include "platform/Handle.h"

namespace {

std::wstring programPath() {
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    return std::wstring(buffer, n);
}

class WindowsEventLog : public EventSink {
public:
    ~WindowsEventLog() override { close(); }

    bool report(int level, const std::wstring& message) override {
        if (!open()) return true; // no event log configured: nothing to report, nothing failed
        WORD type = level == 0   ? EVENTLOG_INFORMATION_TYPE
                    : level == 1 ? EVENTLOG_WARNING_TYPE
                    : level == 2 ? EVENTLOG_SUCCESS
                                 : EVENTLOG_ERROR_TYPE;
        std::wstring path = programPath();
        const wchar_t* strings[2] = {message.c_str(), path.c_str()};
        if (ReportEventW(source_, type, 0, 1, nullptr, 2, 0, strings, nullptr)) return true;
        close();
        return false;
    }

private:
    bool open() {
        if (source_) return true;
        auto log = config::readString(L"TarnisService");
        if (!log || log->empty()) return false;
        std::wstring path = programPath();
        std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
        registerSource(*log, name, path);
        source_ = RegisterEventSourceW(nullptr, name.c_str());
        return source_ != nullptr;
    }

    static void registerSource(const std::wstring& log, const std::wstring& name, const std::wstring& path) {
        std::wstring key = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\" + log + L"\\" + name;
        platform::RegKey existing;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, existing.receive()) == ERROR_SUCCESS)
            return;
        platform::RegKey created;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            created.receive(), nullptr) != ERROR_SUCCESS)
            return;
        // The program carries the message table of event 1 ("%1"), so it is its own message file.
        RegSetValueExW(created.get(), L"EventMessageFile", 0, REG_EXPAND_SZ,
                       reinterpret_cast<const BYTE*>(path.c_str()),
                       static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
        DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
        RegSetValueExW(created.get(), L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                       sizeof types);
    }

    void close() {
        if (source_) DeregisterEventSource(source_);
        source_ = nullptr;
    }

    HANDLE source_ = nullptr;
};

class StdoutConsole : public ConsoleSink {
public:
    void write(const std::string& bytes) override {
        HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        size_t done = 0;
        while (done < bytes.size()) {
            DWORD written = 0;
            if (!WriteFile(out, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr) ||
                written == 0)
                return; // standard output is gone: there is nobody left to tell
            done += written;
        }
    }
};

} // namespace

std::unique_ptr<EventSink> makeWindowsEventLog() { return std::make_unique<WindowsEventLog>(); }
std::unique_ptr<ConsoleSink> makeStdoutConsole() { return std::make_unique<StdoutConsole>(); }

LogManager& LogManager::instance() {
    static LogManager manager;
    return manager;
}

LogManager::LogManager() : events_(makeWindowsEventLog()), console_(makeStdoutConsole()) {}

std::unique_ptr<EventSink> LogManager::setEventSink(std::unique_ptr<EventSink> sink) {
    std::swap(sink, events_);
    return sink;
}

std::unique_ptr<ConsoleSink> LogManager::setConsoleSink(std::unique_ptr<ConsoleSink> sink) {
    std::swap(sink, console_);
    return sink;
}

void LogManager::log(int level, const vexception& e) { write(level, e.text(debugflag::query()), &e); }

void LogManager::write(int level, const std::wstring& text, const vexception* e) {
    if (level < 0 || level > 5) level = 5;
    ExecuteContext& context = executecontext::get();
    std::wstring consoleText = text;
    if (context.switches[6 + level] && !events_->report(level, text) && e) consoleText = e->text(true);
    if (context.switches[level]) toConsole(text::toUtf8(consoleText));
    for (LogListener* l : listeners_) l->message(level, text);
}

bool LogManager::reaches(int level) const {
    if (level < 0 || level > 5) level = 5;
    const ExecuteContext& context = executecontext::get();
    return context.switches[level] || context.switches[6 + level] || !listeners_.empty();
}

void LogManager::reportEvent(int level, const std::wstring& message) { events_->report(level, message); }

void LogManager::logPieces(int level, const std::function<bool(std::string& piece)>& next) {
    if (level < 0 || level > 5) level = 5;
    if (!executecontext::get().switches[level]) return;
    std::string piece;
    toConsole(next(piece) ? piece : std::string());
    while (next(piece))
        console_->write(piece);
}

void LogManager::toConsole(const std::string& bytes) {
    ExecuteContext& context = executecontext::get();
    if (context.switches[12]) console_->write("\n");
    context.switches[12] = 1;
    console_->write(bytes);
}
