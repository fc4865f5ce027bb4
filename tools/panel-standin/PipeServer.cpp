#include "PipeServer.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "platform/Handle.h"

#include <atomic>
#include <cstdio>
#include <iterator>
#include <list>
#include <memory>
#include <thread>

namespace standin {
namespace {

constexpr DWORD kBufferSize = 64 * 1024;

void reportError(const std::wstring& pipeName, const vexception& e) {
    std::fprintf(stderr, "panel-standin: %s: %s\n", text::toUtf8(pipeName).c_str(),
                 text::toUtf8(e.text(false)).c_str());
}

struct SessionThread {
    std::unique_ptr<Con::ServerOverlappedPipe> pipe;
    std::atomic<bool> done{false};
    std::thread thread;
};

} // namespace

std::optional<DWORD> Connection::read(void* buffer, DWORD size) {
    DWORD done = pipe_.beginRead(buffer, size, false);
    if (!pipe_.finished() && !pipe_.idle()) done = pipe_.complete(stop_, INFINITE, false);
    if (pipe_.finished() || WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0) return std::nullopt;
    return done;
}

std::wstring Connection::clientImpersonationLevel() {
    if (!ImpersonateNamedPipeClient(pipe_.handle()))
        return format(L"failed (ImpersonateNamedPipeClient %d)", GetLastError());
    platform::Handle token;
    SECURITY_IMPERSONATION_LEVEL level = SecurityAnonymous;
    DWORD size = 0;
    BOOL opened = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, token.receive());
    DWORD error = opened ? ERROR_SUCCESS : GetLastError();
    BOOL read = opened && GetTokenInformation(token.get(), TokenImpersonationLevel, &level, sizeof level, &size);
    if (opened && !read) error = GetLastError();
    // The session thread goes on as the stand-in itself whatever the client allowed.
    RevertToSelf();
    if (!opened) return format(L"failed (OpenThreadToken %d)", error);
    if (!read) return format(L"failed (GetTokenInformation %d)", error);
    static const wchar_t* const names[] = {L"anonymous", L"identification", L"impersonation", L"delegation"};
    const auto index = static_cast<DWORD>(level);
    return index < std::size(names) ? names[index] : format(L"level %d", index);
}

bool Connection::write(const void* buffer, DWORD size) {
    DWORD done = pipe_.beginWrite(buffer, size, false);
    if (!pipe_.finished() && !pipe_.idle()) done = pipe_.complete(stop_, INFINITE, false);
    return !pipe_.finished() && done == size;
}

PipeServer::PipeServer(std::wstring name, DWORD pipeMode, Session session)
    : name_(std::move(name)), pipeMode_(pipeMode), session_(std::move(session)) {}

void PipeServer::run(HANDLE stop) {
    std::list<SessionThread> sessions;
    auto reap = [&](bool all) {
        for (auto it = sessions.begin(); it != sessions.end();) {
            if (!all && !it->done) {
                ++it;
                continue;
            }
            it->thread.join();
            it = sessions.erase(it);
        }
    };
    Con::PipeOptions options{PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE,
                             pipeMode_ | PIPE_WAIT,
                             PIPE_UNLIMITED_INSTANCES,
                             kBufferSize,
                             kBufferSize,
                             0,
                             nullptr};
    try {
        for (;;) {
            auto pipe = std::make_unique<Con::ServerOverlappedPipe>(name_, options);
            // Only the first instance claims the name: a second server on it fails at once.
            options.openMode &= ~FILE_FLAG_FIRST_PIPE_INSTANCE;
            if (!pipe->connect(INFINITE, stop)) break;
            reap(false);
            SessionThread& session = sessions.emplace_back();
            session.pipe = std::move(pipe);
            session.thread = std::thread([this, &session, stop] {
                try {
                    Connection connection(*session.pipe, stop);
                    session_(connection);
                } catch (const vexception& e) {
                    reportError(name_, e);
                } catch (const std::exception& e) {
                    std::fprintf(stderr, "panel-standin: %s\n", e.what());
                } catch (...) {
                    std::fprintf(stderr, "panel-standin: unexpected failure in a session\n");
                }
                session.pipe->close();
                session.done = true;
            });
        }
    } catch (...) {
        SetEvent(stop);
        reap(true);
        throw;
    }
    reap(true);
}

} // namespace standin
