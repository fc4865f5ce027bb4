#include "support/ScriptedRunAs.h"

#include "app/Exceptions.h"
#include "platform/Handle.h"

#include <gtest/gtest.h>

#include <cstring>

namespace testsupport {

ScriptedRunAs::ScriptedRunAs(std::wstring pipeName, std::vector<Script> scripts)
    : name_(std::move(pipeName)) {
    Con::PipeOptions options;
    options.pipeMode = PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT;
    first_ = std::make_unique<Con::ServerPipe>(name_, options);
    thread_ = std::thread([this, scripts = std::move(scripts), options] {
        std::unique_ptr<Con::ServerPipe> pipe = std::move(first_);
        for (size_t i = 0; i < scripts.size(); ++i) {
            pipe->connect();
            auto next = i + 1 < scripts.size() ? std::make_unique<Con::ServerPipe>(name_, options) : nullptr;
            try {
                scripts[i](*pipe);
            } catch (const vexception&) {
                ADD_FAILURE() << "script " << i << " failed";
            }
            FlushFileBuffers(pipe->handle());
            pipe->close();
            pipe = std::move(next);
        }
    });
}

ScriptedRunAs::~ScriptedRunAs() {
    thread_.join();
}

std::string ScriptedRunAs::readBytes(Con::Pipe& pipe, size_t size) {
    std::string out(size, '\0');
    size_t done = 0;
    while (done < size) {
        DWORD n = pipe.read(out.data() + done, static_cast<DWORD>(size - done), false);
        if (n == 0) break;
        done += n;
    }
    out.resize(done);
    return out;
}

void ScriptedRunAs::reply(Con::Pipe& pipe, int32_t status, const std::wstring& text, uint32_t announced) {
    std::string out(8, '\0');
    uint32_t length = announced == UINT32_MAX ? static_cast<uint32_t>(text.size() * 2) : announced;
    std::memcpy(out.data(), &status, 4);
    std::memcpy(out.data() + 4, &length, 4);
    out.append(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    pipe.write(out.data(), static_cast<DWORD>(out.size()), true);
}

void ScriptedRunAs::switchRequester(const std::string& request) {
    uint32_t sidLength = 0, threadId = 0;
    ASSERT_GE(request.size(), 12u);
    std::memcpy(&sidLength, request.data() + 8, 4);
    ASSERT_EQ(request.size(), requestSize(sidLength));
    std::memcpy(&threadId, request.data() + 12 + sidLength + 8, 4);
    platform::Handle thread(OpenThread(THREAD_SET_THREAD_TOKEN | THREAD_SET_INFORMATION, FALSE, threadId));
    platform::Handle own, copy;
    ASSERT_TRUE(thread.valid() && OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE, own.receive()) &&
                DuplicateTokenEx(own.get(), TOKEN_IMPERSONATE | TOKEN_QUERY, nullptr, SecurityImpersonation,
                                 TokenImpersonation, copy.receive()))
        << GetLastError();
    HANDLE target = thread.get();
    ASSERT_TRUE(SetThreadToken(&target, copy.get())) << GetLastError();
}

} // namespace testsupport
