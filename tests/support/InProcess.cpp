#include "support/InProcess.h"

#include "CommandTable.h"
#include "app/DebugFlag.h"
#include "app/ExecuteContext.h"
#include "app/Log.h"
#include "app/Registry.h"
#include "platform/Handle.h"

namespace testsupport {
namespace {

class StringConsole : public ConsoleSink {
public:
    explicit StringConsole(std::shared_ptr<std::string> out) : out_(std::move(out)) {}
    void write(const std::string& bytes) override { *out_ += bytes; }

private:
    std::shared_ptr<std::string> out_;
};

class RecordingEvents : public EventSink {
public:
    explicit RecordingEvents(std::shared_ptr<std::vector<EventRecord>> events) : events_(std::move(events)) {}
    bool report(int level, const std::wstring& message) override {
        events_->push_back({level, message});
        return true;
    }

private:
    std::shared_ptr<std::vector<EventRecord>> events_;
};

platform::RegKey configKey() {
    platform::RegKey key;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, config::kConfigKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.receive(),
                    nullptr);
    return key;
}

} // namespace

LogCapture::LogCapture()
    : out_(std::make_shared<std::string>()), events_(std::make_shared<std::vector<EventRecord>>()) {
    oldConsole_ = LogManager::instance().setConsoleSink(std::make_unique<StringConsole>(out_));
    oldEvents_ = LogManager::instance().setEventSink(std::make_unique<RecordingEvents>(events_));
    executecontext::get().switches[12] = 0;
}

LogCapture::~LogCapture() {
    LogManager::instance().setConsoleSink(std::move(oldConsole_));
    LogManager::instance().setEventSink(std::move(oldEvents_));
    executecontext::get().switches[12] = 0;
}

void LogCapture::clear() {
    out_->clear();
    events_->clear();
    executecontext::get().switches[12] = 0;
}

InProcessResult runInProcess(const std::vector<std::wstring>& arguments, CommandFactory factory) {
    std::vector<std::wstring> storage{L"quarn.exe"};
    storage.insert(storage.end(), arguments.begin(), arguments.end());
    std::vector<wchar_t*> argv;
    for (std::wstring& s : storage) argv.push_back(s.data());
    argv.push_back(nullptr);
    debugflag::reset();
    LogCapture capture;
    Quarn quarn(std::move(factory));
    int code = quarn.run(static_cast<int>(storage.size()), argv.data(), false);
    return {capture.out(), code, capture.events()};
}

InProcessResult runInProcess(const std::vector<std::wstring>& arguments) {
    return runInProcess(arguments, createCommands);
}

ScopedConfigDword::ScopedConfigDword(const wchar_t* name, std::optional<DWORD> value) : name_(name) {
    try {
        old_ = config::readDword(name);
    } catch (...) {
    }
    platform::RegKey key = configKey();
    if (value)
        RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*value), sizeof(DWORD));
    else
        RegDeleteValueW(key.get(), name);
    debugflag::reset();
}

ScopedConfigDword::~ScopedConfigDword() {
    platform::RegKey key = configKey();
    if (old_)
        RegSetValueExW(key.get(), name_.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*old_), sizeof(DWORD));
    else
        RegDeleteValueW(key.get(), name_.c_str());
    debugflag::reset();
}

ScopedConfigString::ScopedConfigString(const wchar_t* name, std::optional<std::wstring> value) : name_(name) {
    old_ = config::readString(name);
    platform::RegKey key = configKey();
    if (value)
        RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value->c_str()),
                       static_cast<DWORD>((value->size() + 1) * sizeof(wchar_t)));
    else
        RegDeleteValueW(key.get(), name);
}

ScopedConfigString::~ScopedConfigString() {
    platform::RegKey key = configKey();
    if (old_)
        RegSetValueExW(key.get(), name_.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(old_->c_str()),
                       static_cast<DWORD>((old_->size() + 1) * sizeof(wchar_t)));
    else
        RegDeleteValueW(key.get(), name_.c_str());
}

} // namespace testsupport
