// Client of the panel's run-as service: asks it to put the calling thread into an account's
// security context. One pipe connection per process; one request at a time.
#pragma once
#include "ipc/Pipe.h"
#include "security/Sid.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace RunTime {

inline constexpr const wchar_t* kRunAsPipeName =
    L"\\\\.\\pipe\\TNA_pipe {110D2F0F-F073-4021-AB73-C7886FB9BD1E}";

// Request kinds of the run-as protocol; this program sends only the two "run as user" kinds.
enum class RunAsKind : uint32_t {
    suid = 0,
    killUserProcesses = 1,
    simpleRunAsUser = 2,
    simpleRunAsUserImpersonated = 3,
    runAsUser = 4,
    runAsUserImpersonated = 5,
    impersonate = 6,
    impersonateWithoutProfile = 7,
};

// The longest reply text accepted, in bytes: anything longer is not the service speaking.
inline constexpr uint32_t kMaxRunAsReplyText = 64 * 1024;

class RunAsClient {
public:
    // The process-wide client on the service's pipe.
    static RunAsClient& instance();
    explicit RunAsClient(std::wstring pipeName) : pipeName_(std::move(pipeName)) {}
    RunAsClient(const RunAsClient&) = delete;
    RunAsClient& operator=(const RunAsClient&) = delete;

    // Kind 4 and kind 5 for the calling thread; on return the thread runs as the account. A
    // refusal (status -1) raises the service's text as a run-time error.
    void runAsUser(const security::Sid& sid) { request(RunAsKind::runAsUser, sid); }
    void runAsUserImpersonated(const security::Sid& sid) { request(RunAsKind::runAsUserImpersonated, sid); }

    // The request bytes as the table lays them out (for the calling thread).
    static std::string encode(RunAsKind kind, const security::Sid& sid, DWORD processId, DWORD threadId);

private:
    void request(RunAsKind kind, const security::Sid& sid);
    void open();
    // Writes the whole block; false when the pipe refused it.
    bool tryWrite(const void* data, DWORD size);
    void write(const void* data, DWORD size);
    // Reads exactly `size` bytes; a reply that ends early raises.
    void read(void* data, DWORD size);

    std::wstring pipeName_;
    std::unique_ptr<Con::ClientPipe> pipe_;
    std::mutex lock_;
};

} // namespace RunTime
