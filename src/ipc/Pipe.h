// Named pipes: a connected pipe end that reads and writes byte blocks, in a synchronous and an
// overlapped flavour; a client side that connects with a bounded number of attempts and a
// server side that creates an instance and waits for a client.
#pragma once
#include "platform/Handle.h"

#include <memory>
#include <string>
#include <utility>

#include <windows.h>

namespace Con {

// An OVERLAPPED record with its own manual-reset event (created signalled).
class Overlapped {
public:
    Overlapped();
    Overlapped(const Overlapped& other); // duplicates the event
    Overlapped& operator=(const Overlapped&) = delete;
    ~Overlapped() = default;

    // Resets the event before a request.
    void reset();
    OVERLAPPED* get() { return &overlapped_; }
    HANDLE event() const { return overlapped_.hEvent; }

private:
    OVERLAPPED overlapped_{};
    platform::Handle event_;
};

class Pipe {
public:
    explicit Pipe(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    virtual ~Pipe() = default;
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    // Bytes moved; 0 once the other end has gone. With `exact`, fewer bytes than `size` fail.
    virtual DWORD read(void* buffer, DWORD size, bool exact);
    virtual DWORD write(const void* buffer, DWORD size, bool exact);
    // Reads the beginning of the next message of a message-mode pipe: up to `size` bytes, where a
    // plain read of a longer message fails with ERROR_MORE_DATA. `*more` tells whether the
    // message goes on; the following reads take the rest of it.
    DWORD readMessageStart(void* buffer, DWORD size, bool* more);
    virtual void close();
    // A new pipe of the same flavour on a duplicate of the handle (a closed pipe clones closed).
    virtual std::unique_ptr<Pipe> clone() const;

    HANDLE handle() const { return handle_.get(); }
    bool isOpen() const { return handle_.valid(); }
    bool finished() const { return finished_; }

protected:
    // An inheritable duplicate with the same access; an invalid handle for a closed pipe.
    HANDLE duplicateHandle() const;
    template <class T> std::unique_ptr<Pipe> cloneAs() const {
        auto copy = std::make_unique<T>(INVALID_HANDLE_VALUE);
        Pipe& base = *copy;
        base.handle_.reset(duplicateHandle());
        base.finished_ = finished_ || !isOpen();
        return copy;
    }
    // True (and the pipe marked finished) for the errors that mean the other end has gone.
    bool endOfPipe(DWORD error);

    platform::FileHandle handle_;
    bool finished_ = false;
    // Set while readMessageStart reads: ERROR_MORE_DATA then ends the read and sets moreData_.
    bool acceptMoreData_ = false;
    bool moreData_ = false;

private:
    template <class Issue>
    DWORD transfer(DWORD size, bool exact, Issue issue, const wchar_t* what, const char* origin);
};

// Parameters of CreateNamedPipeW.
struct PipeOptions {
    DWORD openMode = PIPE_ACCESS_DUPLEX;
    DWORD pipeMode = PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT;
    DWORD maxInstances = PIPE_UNLIMITED_INSTANCES;
    DWORD outBufferSize = 4096;
    DWORD inBufferSize = 4096;
    DWORD defaultTimeOut = 0;
    SECURITY_ATTRIBUTES* security = nullptr;
};

class ServerPipe : public Pipe {
public:
    explicit ServerPipe(HANDLE handle) : Pipe(handle) {}
    ServerPipe(const std::wstring& name, const PipeOptions& options);
    // Waits for a client (a client that came before counts as connected); the time-out does not
    // apply to the synchronous flavour.
    void connect(DWORD timeout = INFINITE);
    std::unique_ptr<Pipe> clone() const override { return cloneAs<ServerPipe>(); }
};

// The security quality of service every client end connects with. Without it CreateFileW lets
// the server impersonate the client at SecurityImpersonation level: whoever serves a service's
// pipe name (a squatter while the service restarts, say) could then act with this program's
// administrative token. At identification level the server may read who the client is and no more.
inline constexpr DWORD kClientQualityOfService = SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;

class ClientPipe : public Pipe {
public:
    explicit ClientPipe(HANDLE handle) : Pipe(handle) {}
    ClientPipe(const std::wstring& name, DWORD access, DWORD readMode, int attempts);
    std::unique_ptr<Pipe> clone() const override { return cloneAs<ClientPipe>(); }
};

class OverlappedPipe : public Pipe {
public:
    explicit OverlappedPipe(HANDLE handle) : Pipe(handle) {}
    ~OverlappedPipe() override;

    DWORD read(void* buffer, DWORD size, bool exact) override;
    DWORD write(const void* buffer, DWORD size, bool exact) override;
    void close() override;

    // Starts a transfer: the count when it completed at once, 0 when it is outstanding (or the
    // other end has gone).
    DWORD beginRead(void* buffer, DWORD size, bool exact);
    DWORD beginWrite(const void* buffer, DWORD size, bool exact);
    // Waits for the outstanding transfer, or for `extraHandle` (may be null), at most `timeout`
    // ms (INFINITE for no limit). Returns the count; 0 when the wait ended otherwise, in which
    // case the transfer is cancelled.
    DWORD complete(HANDLE extraHandle, DWORD timeout, bool exact);
    bool idle() const { return idle_; }

protected:
    enum class Wait { Done, Other, TimedOut };
    // Alertable, cancellable wait for the request's event or `extraHandle`. `what` names the
    // operation in failures, `origin` is the method that waits.
    Wait waitForRequest(HANDLE extraHandle, DWORD timeout, const wchar_t* what, const char* origin);
    DWORD internalComplete(bool exact);
    // Cancels the outstanding request and marks the pipe idle.
    void abandonRequest();

    Overlapped overlapped_;
    bool idle_ = true;
    DWORD pendingSize_ = 0;

private:
    template <class Issue> DWORD begin(DWORD size, bool exact, Issue issue, const wchar_t* what, const char* origin);
};

class ServerOverlappedPipe : public OverlappedPipe {
public:
    explicit ServerOverlappedPipe(HANDLE handle) : OverlappedPipe(handle) {}
    ServerOverlappedPipe(const std::wstring& name, const PipeOptions& options);
    // Waits for a client at most `timeout` ms, or until `extraHandle` (may be null) is signalled.
    // True when a client is connected; false when `extraHandle` ended the wait.
    bool connect(DWORD timeout = INFINITE, HANDLE extraHandle = nullptr);
    std::unique_ptr<Pipe> clone() const override { return cloneAs<ServerOverlappedPipe>(); }
};

class ClientOverlappedPipe : public OverlappedPipe {
public:
    explicit ClientOverlappedPipe(HANDLE handle) : OverlappedPipe(handle) {}
    ClientOverlappedPipe(const std::wstring& name, DWORD access, DWORD readMode, int attempts);
    std::unique_ptr<Pipe> clone() const override { return cloneAs<ClientOverlappedPipe>(); }
};

// A connected pair standing in for an anonymous pipe whose ends can be used with overlapped I/O:
// the inbound server end (first) and the client end opened for writing (second).
std::pair<std::unique_ptr<Pipe>, std::unique_ptr<Pipe>> createPipePair(bool overlapped, DWORD outBufferSize,
                                                                        DWORD inBufferSize,
                                                                        SECURITY_ATTRIBUTES* security = nullptr);

// The registry setting "PipeConnectTryCount": read on the first connection of the process and on
// every 16th after it. `restartPipeConnectTryCount` forgets what was read (for tests).
int pipeConnectTryCount(int requested);
void restartPipeConnectTryCount();

// Alertable sleep that resumes after queued calls until the time is up.
void alertableSleep(DWORD milliseconds);

} // namespace Con
