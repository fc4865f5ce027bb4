#include "ipc/TarnisSrvClient.h"

#include "app/Guard.h"
#include "app/Log.h"
#include "ipc/Serializer.h"
#include "ipc/TarnisSrvProtocol.h"

#include <cstdint>
#include <new>

namespace {

// The origins the panel's logs show for failures of its service's operations.
constexpr const char* kQueryOrigin = "vpipechannel::client::query";
constexpr const char* kGetInstanceOrigin = "TarnisSrvClient::getInstance";
constexpr const char* kGetStringOrigin = "TarnisSrvClient::getString";
constexpr const char* kGetExtStringOrigin = "TarnisSrvClient::getExtString";
constexpr const char* kGetPasswordOrigin = "TarnisSrvClient::getPassword";
constexpr const char* kSetPasswordOrigin = "TarnisSrvClient::setPassword";
constexpr const char* kComponentInfoOrigin = "TarnisSrvClient::componentInfo";
constexpr DWORD kPipeAccess = GENERIC_READ | GENERIC_WRITE | FILE_READ_DATA | FILE_WRITE_DATA;

std::mutex memoLock;
TarnisSrvClient::SettingsMemo* activeMemo = nullptr;

} // namespace

TarnisSrvClient& TarnisSrvClient::getInstance() {
    return guarded(ErrorContext{L"get shared instance of TarnisSrvClient", kGetInstanceOrigin},
                   []() -> TarnisSrvClient& {
                       // A construction that fails leaves the instance unconstructed: the next
                       // call tries again.
                       static TarnisSrvClient client(tarnissrv::kPipeName, 5);
                       return client;
                   });
}

TarnisSrvClient::TarnisSrvClient(std::wstring pipeName, int attempts) : pipeName_(std::move(pipeName)) {
    ensureConnected(attempts);
}

void TarnisSrvClient::ensureConnected(int attempts) {
    if (pipe_ && pipe_->isOpen()) return;
    pipe_ = std::make_unique<Con::ClientOverlappedPipe>(pipeName_, kPipeAccess, PIPE_READMODE_MESSAGE, attempts);
}

void TarnisSrvClient::checkNotFinished() {
    if (!pipe_->finished()) return;
    LogManager::instance().log(1, L"Connection to Tarnis Management service is broken: Pipe is finished");
    raisePlainError(L"Pipe is finished", kQueryOrigin);
}

std::string TarnisSrvClient::transfer(const std::string& payload) {
    // A transfer on a pipe whose other end has gone moves nothing: each step checks for that.
    checkNotFinished();
    uint32_t total = static_cast<uint32_t>(payload.size());
    pipe_->write(&total, sizeof total, true);
    checkNotFinished();
    pipe_->write(payload.data(), total, true);
    checkNotFinished();
    // The service may send the length and the block as one message or as two: the first read
    // takes the length only and leaves the rest of a longer message for the block's read.
    uint32_t length = 0;
    bool more = false;
    DWORD got = pipe_->readMessageStart(&length, sizeof length, &more);
    checkNotFinished();
    if (got != sizeof length) raisePlainError(format(L"Completed only %d of %d bytes", got, 4), kQueryOrigin);
    std::string answer;
    if (length == 0) {
        if (more) raisePlainError(L"The answer carries data after an empty length", kQueryOrigin);
        return answer;
    }
    try {
        answer.resize(length);
    } catch (const std::bad_alloc&) {
        raiseOsError(L"", ERROR_OUTOFMEMORY, kQueryOrigin);
    }
    pipe_->read(answer.data(), length, true);
    checkNotFinished();
    return answer;
}

std::string TarnisSrvClient::query(const GUID& operation, const std::string& arguments) {
    std::lock_guard<std::mutex> hold(lock_);
    std::string payload = vserializer::writer().putGuid(operation).putBytes(arguments).bytes();
    try {
        ++requestsSent_;
        return transfer(payload);
    } catch (...) {
        // The service may have restarted: one more try over a new connection.
    }
    pipe_->close();
    ensureConnected(5);
    ++requestsSent_;
    return transfer(payload);
}

TarnisSrvClient::SettingsMemo::SettingsMemo() {
    std::lock_guard<std::mutex> hold(memoLock);
    outer_ = activeMemo;
    activeMemo = this;
}

TarnisSrvClient::SettingsMemo::~SettingsMemo() {
    std::lock_guard<std::mutex> hold(memoLock);
    activeMemo = outer_;
}

template <class Ask>
std::wstring TarnisSrvClient::remembered(const std::wstring& operation, const std::wstring& question,
                                         Ask ask) {
    auto key = std::make_pair(operation, question);
    {
        std::lock_guard<std::mutex> hold(memoLock);
        if (activeMemo) {
            auto found = activeMemo->answers_.find(key);
            if (found != activeMemo->answers_.end()) return found->second;
        }
    }
    std::wstring answer = ask();
    std::lock_guard<std::mutex> hold(memoLock);
    if (activeMemo) activeMemo->answers_.emplace(std::move(key), answer);
    return answer;
}

std::wstring TarnisSrvClient::getString(const std::wstring& name) {
    return guarded(ErrorContext{format(L"getString(%s)", name), kGetStringOrigin}, [&] {
        return remembered(L"getString", name, [&] {
            return vserializer::reader(
                       query(tarnissrv::kGetString, vserializer::writer().putText(name).bytes()))
                .readText();
        });
    });
}

std::wstring TarnisSrvClient::getExtString(const std::wstring& section, const std::wstring& name) {
    return guarded(ErrorContext{format(L"getExtString(%s, %s)", section, name), kGetExtStringOrigin}, [&] {
        std::string arguments = vserializer::writer().putText(section).putText(name).bytes();
        return vserializer::reader(query(tarnissrv::kGetExtString, arguments)).readText();
    });
}

std::wstring TarnisSrvClient::getPassword(const std::wstring& name) {
    return guarded(ErrorContext{format(L"getPassword('%s')", name), kGetPasswordOrigin}, [&] {
        return vserializer::reader(query(tarnissrv::kGetPassword, vserializer::writer().putText(name).bytes()))
            .readText();
    });
}

void TarnisSrvClient::setPassword(const std::wstring& name, const std::wstring& password) {
    guarded(ErrorContext{format(L"setPassword('%s')", name), kSetPasswordOrigin}, [&] {
        std::string answer =
            query(tarnissrv::kSetPassword, vserializer::writer().putText(name).putText(password).bytes());
        // The answer carries nothing, but a refusal must not pass for success.
        vserializer::reader reader(answer);
        if (reader.errorAhead()) reader.readText();
    });
}

std::wstring TarnisSrvClient::componentInfo(const std::wstring& package, int kind) {
    return guarded(ErrorContext{format(L"componentInfo for package '%s'", package), kComponentInfoOrigin},
                   [&] {
                       return remembered(L"componentInfo", package + L":" + std::to_wstring(kind), [&] {
                           std::string arguments =
                               vserializer::writer().putText(package).putInt(kind).bytes();
                           return vserializer::reader(query(tarnissrv::kComponentInfo, arguments)).readText();
                       });
                   });
}
