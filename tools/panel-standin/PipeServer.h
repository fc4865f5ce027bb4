// A server loop on one named pipe: every client gets its own pipe instance and its own session
// thread, so that a client may stay connected across requests while others connect. The loop
// and every session end when the stop event is signalled.
#pragma once
#include "ipc/Pipe.h"

#include <functional>
#include <optional>
#include <string>

namespace standin {

// One connected client as a session sees it.
class Connection {
public:
    Connection(Con::ServerOverlappedPipe& pipe, HANDLE stop) : pipe_(pipe), stop_(stop) {}

    // One read of at most `size` bytes (in message mode: one message). Nothing when the client
    // has gone or the server is stopping.
    std::optional<DWORD> read(void* buffer, DWORD size);
    // False when the client has gone or the server is stopping.
    bool write(const void* buffer, DWORD size);
    // The impersonation level the client's connection lets this server have (after a read):
    // "anonymous", "identification", "impersonation", "delegation", or "failed (STEP CODE)".
    std::wstring clientImpersonationLevel();

private:
    Con::ServerOverlappedPipe& pipe_;
    HANDLE stop_;
};

class PipeServer {
public:
    // Serves one client until it goes; exceptions end that client's connection only.
    using Session = std::function<void(Connection&)>;

    PipeServer(std::wstring name, DWORD pipeMode, Session session);
    // Serves until `stop` is signalled, then waits for the sessions to end.
    void run(HANDLE stop);

private:
    std::wstring name_;
    DWORD pipeMode_;
    Session session_;
};

} // namespace standin
