#include "ipc/Pipe.h"

#include "app/Exceptions.h"
#include "app/Guard.h"
#include "app/Registry.h"

#include <climits>
#include <mutex>

namespace Con {
namespace {

// The origins a pipe failure names: the services' logs have always shown these method names
// ("resert" as spelt there), whatever the functions of this file are called.
constexpr const char* kOverlappedOrigin = "Con::Overlapped::Overlapped";
constexpr const char* kResetOrigin = "Con::Overlapped::resert";
constexpr const char* kReadOrigin = "Con::Pipe::read";
constexpr const char* kWriteOrigin = "Con::Pipe::write";
constexpr const char* kCloneOrigin = "Con::Pipe::Pipe";
constexpr const char* kServerCreateOrigin = "Con::ServerPipe::create";
constexpr const char* kClientCreateOrigin = "Con::ClientPipe::create";
constexpr const char* kServerOverlappedCreateOrigin = "Con::ServerOverlappedPipe::create";
constexpr const char* kServerOverlappedConnectOrigin = "Con::ServerOverlappedPipe::connect";
constexpr const char* kClientOverlappedCreateOrigin = "Con::ClientOverlappedPipe::create";
constexpr const char* kBeginReadOrigin = "Con::OverlappedPipe::beginRead";
constexpr const char* kBeginWriteOrigin = "Con::OverlappedPipe::beginWrite";
constexpr const char* kCompleteOrigin = "Con::OverlappedPipe::complete";
constexpr const char* kInternalCompleteOrigin = "Con::OverlappedPipe::internalComplete";

void checkExact(DWORD done, DWORD size, bool exact, ErrorContext where) {
    if (exact && done < size)
        raisePlainError(format(L"Completed only %d of %d bytes", done, size), std::move(where));
}

// Opens the client end of a pipe with a bounded number of attempts; a busy pipe is waited for.
HANDLE connectPipe(const std::wstring& name, DWORD access, DWORD readMode, int attempts, DWORD flags,
                   const char* origin) {
    int count = pipeConnectTryCount(attempts);
    for (int attempt = 0; attempt < count; ++attempt) {
        ThreadCancelation::CancelationPoint point;
        platform::FileHandle pipe(
            CreateFileW(name.c_str(), access, 0, nullptr, OPEN_EXISTING, flags | kClientQualityOfService, nullptr));
        if (pipe) {
            DWORD mode = readMode;
            if (!SetNamedPipeHandleState(pipe.get(), &mode, nullptr, nullptr))
                raiseOsError(L"Unable to set mode of pipe " + name, GetLastError(), origin);
            return pipe.release();
        }
        DWORD error = GetLastError();
        if (error != ERROR_PIPE_BUSY) raiseOsError(L"Unable to connect to pipe " + name, error, origin);
        if (!WaitNamedPipeW(name.c_str(), 1000)) alertableSleep(50);
    }
    raisePlainError(L"Unable to connect to pipe " + name, origin);
}

HANDLE createPipe(const std::wstring& name, const PipeOptions& options, DWORD extraOpenMode, const char* origin) {
    HANDLE pipe = CreateNamedPipeW(name.c_str(), options.openMode | extraOpenMode, options.pipeMode,
                                   options.maxInstances, options.outBufferSize, options.inBufferSize,
                                   options.defaultTimeOut, options.security);
    if (pipe == INVALID_HANDLE_VALUE) raiseOsError(L"Unable to create pipe " + name, GetLastError(), origin);
    return pipe;
}

struct ConnectTryCount {
    std::mutex lock;
    unsigned uses = 0;
    DWORD setting = 0;
    bool unreadable = false;
};

ConnectTryCount& connectTryCount() {
    static ConnectTryCount state;
    return state;
}

} // namespace

int pipeConnectTryCount(int requested) {
    ConnectTryCount& state = connectTryCount();
    std::lock_guard<std::mutex> hold(state.lock);
    if (state.uses++ % 16 == 0 && !state.unreadable) {
        try {
            if (std::optional<DWORD> value = config::readDword(L"PipeConnectTryCount")) state.setting = *value;
        } catch (...) {
            // A value of the wrong type stays wrong: the last value read stays in force.
            state.unreadable = true;
        }
    }
    if (state.setting == 0) return requested;
    return state.setting > INT_MAX ? INT_MAX : static_cast<int>(state.setting);
}

void restartPipeConnectTryCount() {
    ConnectTryCount& state = connectTryCount();
    std::lock_guard<std::mutex> hold(state.lock);
    state.uses = 0;
    state.setting = 0;
    state.unreadable = false;
}

void alertableSleep(DWORD milliseconds) {
    ThreadCancelation::CancelationPoint point;
    ULONGLONG end = GetTickCount64() + milliseconds;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64())
        SleepEx(static_cast<DWORD>(end - now), TRUE);
}

// ---- Overlapped

Overlapped::Overlapped() {
    event_.reset(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    if (!event_) raiseOsError(L"Unable to create event", GetLastError(), kOverlappedOrigin);
    overlapped_.hEvent = event_.get();
}

Overlapped::Overlapped(const Overlapped& other) : overlapped_(other.overlapped_) {
    HANDLE process = GetCurrentProcess();
    if (!DuplicateHandle(process, other.event_.get(), process, event_.receive(), 0, FALSE, DUPLICATE_SAME_ACCESS))
        raiseOsError(L"Unable to duplicate handle", GetLastError(), kOverlappedOrigin);
    overlapped_.hEvent = event_.get();
}

void Overlapped::reset() {
    if (!ResetEvent(event_.get())) raiseOsError(L"Unable to reset event", GetLastError(), kResetOrigin);
}

// ---- Pipe

bool Pipe::endOfPipe(DWORD error) {
    if (error != ERROR_HANDLE_EOF && error != ERROR_BROKEN_PIPE && error != ERROR_NO_DATA) return false;
    finished_ = true;
    return true;
}

template <class Issue> DWORD Pipe::transfer(DWORD size, bool exact, Issue issue, const wchar_t* what, const char* origin) {
    if (finished_) return 0;
    DWORD done = 0;
    if (!issue(&done)) {
        DWORD error = GetLastError();
        if (endOfPipe(error)) return 0;
        if (error == ERROR_MORE_DATA && acceptMoreData_) {
            moreData_ = true;
            return done;
        }
        raiseOsError(what, error, origin);
    }
    checkExact(done, size, exact, origin);
    return done;
}

DWORD Pipe::read(void* buffer, DWORD size, bool exact) {
    return transfer(
        size, exact, [&](DWORD* done) { return ReadFile(handle_.get(), buffer, size, done, nullptr); },
        L"Unable to read from pipe", kReadOrigin);
}

DWORD Pipe::write(const void* buffer, DWORD size, bool exact) {
    return transfer(
        size, exact, [&](DWORD* done) { return WriteFile(handle_.get(), buffer, size, done, nullptr); },
        L"Unable to write to pipe", kWriteOrigin);
}

DWORD Pipe::readMessageStart(void* buffer, DWORD size, bool* more) {
    struct Accepting {
        Pipe& pipe;
        explicit Accepting(Pipe& p) : pipe(p) { pipe.acceptMoreData_ = true, pipe.moreData_ = false; }
        ~Accepting() { pipe.acceptMoreData_ = false; }
    } accepting(*this);
    DWORD done = read(buffer, size, false);
    *more = moreData_;
    return done;
}

void Pipe::close() {
    handle_.reset();
    finished_ = true;
}

std::unique_ptr<Pipe> Pipe::clone() const { return cloneAs<Pipe>(); }

HANDLE Pipe::duplicateHandle() const {
    if (!isOpen()) return INVALID_HANDLE_VALUE;
    HANDLE process = GetCurrentProcess(), copy = INVALID_HANDLE_VALUE;
    if (!DuplicateHandle(process, handle_.get(), process, &copy, 0, TRUE, DUPLICATE_SAME_ACCESS))
        raiseOsError(L"Unable to duplicate handle", GetLastError(), kCloneOrigin);
    return copy;
}

// ---- Server and client ends

ServerPipe::ServerPipe(const std::wstring& name, const PipeOptions& options)
    : Pipe(createPipe(name, options, 0, kServerCreateOrigin)) {}

void ServerPipe::connect(DWORD) {
    if (!ConnectNamedPipe(handle_.get(), nullptr) && GetLastError() != ERROR_PIPE_CONNECTED)
        raiseOsError(L"Unable to connect to pipe", GetLastError());
}

ClientPipe::ClientPipe(const std::wstring& name, DWORD access, DWORD readMode, int attempts)
    : Pipe(connectPipe(name, access, readMode, attempts, 0, kClientCreateOrigin)) {}

ServerOverlappedPipe::ServerOverlappedPipe(const std::wstring& name, const PipeOptions& options)
    : OverlappedPipe(createPipe(name, options, FILE_FLAG_OVERLAPPED, kServerOverlappedCreateOrigin)) {}

bool ServerOverlappedPipe::connect(DWORD timeout, HANDLE extraHandle) {
    if (!idle_) raisePlainError(L"Previous request has not completed!", kServerOverlappedConnectOrigin);
    overlapped_.reset();
    if (ConnectNamedPipe(handle_.get(), overlapped_.get())) return true;
    DWORD error = GetLastError();
    if (error == ERROR_PIPE_CONNECTED) return true;
    if (error != ERROR_IO_PENDING)
        raiseOsError(L"Unable to connect to pipe", error, kServerOverlappedConnectOrigin);
    idle_ = false;
    const wchar_t* what = L"Unable to wait while pipe has been connected";
    switch (waitForRequest(extraHandle, timeout, what, kServerOverlappedConnectOrigin)) {
    case Wait::Done: {
        idle_ = true;
        DWORD ignored = 0;
        if (!GetOverlappedResult(handle_.get(), overlapped_.get(), &ignored, FALSE))
            raiseOsError(L"Unable to connect to pipe", GetLastError(), kServerOverlappedConnectOrigin);
        return true;
    }
    case Wait::Other:
        abandonRequest();
        return false;
    case Wait::TimedOut:
        break;
    }
    abandonRequest();
    raiseOsError(what, WAIT_TIMEOUT, kServerOverlappedConnectOrigin);
}

ClientOverlappedPipe::ClientOverlappedPipe(const std::wstring& name, DWORD access, DWORD readMode,
                                           int attempts)
    : OverlappedPipe(connectPipe(name, access, readMode, attempts, FILE_FLAG_OVERLAPPED,
                                 kClientOverlappedCreateOrigin)) {}

// ---- Overlapped transfers

OverlappedPipe::~OverlappedPipe() {
    // The kernel must not write into this object (or the caller's buffer) after it has gone.
    if (!idle_ && isOpen()) {
        CancelIoEx(handle_.get(), overlapped_.get());
        DWORD ignored = 0;
        GetOverlappedResult(handle_.get(), overlapped_.get(), &ignored, TRUE);
    }
}

template <class Issue>
DWORD OverlappedPipe::begin(DWORD size, bool exact, Issue issue, const wchar_t* what, const char* origin) {
    if (!idle_) raisePlainError(L"Previous request has not completed!", origin);
    if (finished_) return 0;
    overlapped_.reset();
    pendingSize_ = size;
    if (issue()) {
        idle_ = false;
        return internalComplete(exact);
    }
    DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING) {
        idle_ = false;
        return 0;
    }
    if (error == ERROR_MORE_DATA && acceptMoreData_) {
        idle_ = false;
        return internalComplete(exact);
    }
    pendingSize_ = 0;
    if (endOfPipe(error)) return 0;
    raiseOsError(what, error, origin);
}

DWORD OverlappedPipe::beginRead(void* buffer, DWORD size, bool exact) {
    return begin(
        size, exact, [&] { return ReadFile(handle_.get(), buffer, size, nullptr, overlapped_.get()); },
        L"Unable to read from pipe", kBeginReadOrigin);
}

DWORD OverlappedPipe::beginWrite(const void* buffer, DWORD size, bool exact) {
    return begin(
        size, exact, [&] { return WriteFile(handle_.get(), buffer, size, nullptr, overlapped_.get()); },
        L"Unable to write to pipe", kBeginWriteOrigin);
}

OverlappedPipe::Wait OverlappedPipe::waitForRequest(HANDLE extraHandle, DWORD timeout, const wchar_t* what,
                                                    const char* origin) {
    ThreadCancelation::CancelationPoint point;
    HANDLE handles[2] = {overlapped_.event(), extraHandle};
    DWORD count = extraHandle ? 2 : 1;
    ULONGLONG end = GetTickCount64() + timeout;
    DWORD remaining = timeout;
    for (;;) {
        DWORD result = count == 1 ? WaitForSingleObjectEx(handles[0], remaining, TRUE)
                                  : WaitForMultipleObjectsEx(count, handles, FALSE, remaining, TRUE);
        if (result == WAIT_IO_COMPLETION) {
            // A queued call ran: wait on for what is left of the time.
            if (timeout != INFINITE) {
                ULONGLONG now = GetTickCount64();
                remaining = now >= end ? 0 : static_cast<DWORD>(end - now);
            }
            continue;
        }
        if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED_0) return Wait::Done;
        if (count == 2 && (result == WAIT_OBJECT_0 + 1 || result == WAIT_ABANDONED_0 + 1)) return Wait::Other;
        if (result == WAIT_TIMEOUT) return Wait::TimedOut;
        if (result == WAIT_FAILED) raiseOsError(what, GetLastError(), origin);
        raisePlainError(format(L"%s: Unknown state %X", what, result), origin);
    }
}

DWORD OverlappedPipe::complete(HANDLE extraHandle, DWORD timeout, bool exact) {
    if (idle_) raisePlainError(L"Previous request has completed!", kCompleteOrigin);
    if (waitForRequest(extraHandle, timeout, L"Unable to complete pipe operation", kCompleteOrigin) ==
        Wait::Done)
        return internalComplete(exact);
    abandonRequest();
    return 0;
}

DWORD OverlappedPipe::internalComplete(bool exact) {
    DWORD done = 0;
    BOOL ok = GetOverlappedResult(handle_.get(), overlapped_.get(), &done, TRUE);
    DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    // The request is over either way: a failure must not leave the pipe unusable.
    idle_ = true;
    DWORD size = std::exchange(pendingSize_, 0);
    if (!ok && error == ERROR_MORE_DATA && acceptMoreData_) {
        moreData_ = true;
        ok = TRUE;
    }
    if (!ok) {
        if (error != ERROR_HANDLE_EOF && error != ERROR_BROKEN_PIPE)
            raiseOsError(L"Unable to complete pipe operation", error, kInternalCompleteOrigin);
        finished_ = true;
        done = 0;
    }
    checkExact(done, size, exact, kInternalCompleteOrigin);
    return done;
}

void OverlappedPipe::abandonRequest() {
    CancelIoEx(handle_.get(), overlapped_.get());
    DWORD ignored = 0;
    GetOverlappedResult(handle_.get(), overlapped_.get(), &ignored, TRUE);
    idle_ = true;
    pendingSize_ = 0;
}

DWORD OverlappedPipe::read(void* buffer, DWORD size, bool exact) {
    DWORD done = beginRead(buffer, size, exact);
    if (!finished_ && !idle_) done = complete(nullptr, INFINITE, exact);
    return done;
}

DWORD OverlappedPipe::write(const void* buffer, DWORD size, bool exact) {
    DWORD done = beginWrite(buffer, size, exact);
    if (!finished_ && !idle_) done = complete(nullptr, INFINITE, exact);
    return done;
}

void OverlappedPipe::close() {
    if (!idle_ && isOpen()) abandonRequest();
    Pipe::close();
    idle_ = true;
}

// ---- Pipe pair

std::pair<std::unique_ptr<Pipe>, std::unique_ptr<Pipe>> createPipePair(bool overlapped, DWORD outBufferSize,
                                                                        DWORD inBufferSize,
                                                                        SECURITY_ATTRIBUTES* security) {
    GUID id{};
    CoCreateGuid(&id);
    wchar_t text[40] = {};
    StringFromGUID2(id, text, 40);
    std::wstring name = std::wstring(L"\\\\.\\pipe\\TarnisWin32.Pipes.") + text;
    PipeOptions options{PIPE_ACCESS_INBOUND,  PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, outBufferSize,
                        inBufferSize,         0,
                        security};
    if (overlapped) {
        auto server = std::make_unique<ServerOverlappedPipe>(name, options);
        auto client = std::make_unique<ClientOverlappedPipe>(name, GENERIC_WRITE, PIPE_READMODE_BYTE, 1);
        server->connect(INFINITE);
        return {std::move(server), std::move(client)};
    }
    auto server = std::make_unique<ServerPipe>(name, options);
    auto client = std::make_unique<ClientPipe>(name, GENERIC_WRITE, PIPE_READMODE_BYTE, 1);
    server->connect(INFINITE);
    return {std::move(server), std::move(client)};
}

} // namespace Con
