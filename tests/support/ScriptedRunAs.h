// A run-as service inside the test process: connection i is served by script i on a thread, so
// that tests can give the client any reply, well-formed or not.
#pragma once
#include "ipc/Pipe.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class ScriptedRunAs {
public:
    using Script = std::function<void(Con::ServerPipe&)>;
    // Serves on `pipeName` (byte mode); the next instance exists before the current one closes,
    // so a reconnecting client finds it.
    ScriptedRunAs(std::wstring pipeName, std::vector<Script> scripts);
    ~ScriptedRunAs();
    ScriptedRunAs(const ScriptedRunAs&) = delete;
    ScriptedRunAs& operator=(const ScriptedRunAs&) = delete;
    const std::wstring& name() const { return name_; }

    // Up to `size` bytes (fewer when the client goes).
    static std::string readBytes(Con::Pipe& pipe, size_t size);
    // A reply: status, text length (the text's own unless `announced` is given), text.
    static void reply(Con::Pipe& pipe, int32_t status, const std::wstring& text,
                      uint32_t announced = UINT32_MAX);
    // Does what the service does on success: gives the thread named in `request` (a whole
    // request of this process) an impersonation token, a copy of the process token.
    static void switchRequester(const std::string& request);
    // The size of a request for a SID of `sidLength` bytes.
    static size_t requestSize(size_t sidLength) { return 12 + sidLength + 4 + 24; }

private:
    std::wstring name_;
    std::unique_ptr<Con::ServerPipe> first_;
    std::thread thread_;
};

} // namespace testsupport
