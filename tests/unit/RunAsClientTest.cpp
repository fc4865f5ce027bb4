#include "identity/RunAsClient.h"

#include "app/Exceptions.h"
#include "support/FailureOf.h"
#include "support/SecurityFixtures.h"
#include "support/Standin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <thread>
#include <vector>

namespace {

using RunTime::RunAsClient;
using RunTime::RunAsKind;
using testsupport::failureOf;
using testsupport::userSid;

// A run-as service inside the test process: connection i is served by script i on a thread.
class ScriptedRunAs {
public:
    using Script = std::function<void(Con::ServerPipe&)>;
    ScriptedRunAs(std::vector<Script> scripts) : name_(testsupport::uniquePipeName()) {
        Con::PipeOptions options;
        options.pipeMode = PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT;
        first_ = std::make_unique<Con::ServerPipe>(name_, options);
        thread_ = std::thread([this, scripts, options] {
            std::unique_ptr<Con::ServerPipe> pipe = std::move(first_);
            for (size_t i = 0; i < scripts.size(); ++i) {
                pipe->connect();
                // The next instance exists before this one closes: a reconnecting client finds it.
                auto next =
                    i + 1 < scripts.size() ? std::make_unique<Con::ServerPipe>(name_, options) : nullptr;
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
    ~ScriptedRunAs() { thread_.join(); }
    const std::wstring& name() const { return name_; }

private:
    std::wstring name_;
    std::unique_ptr<Con::ServerPipe> first_;
    std::thread thread_;
};

std::string readBytes(Con::Pipe& pipe, size_t size) {
    std::string out(size, '\0');
    for (size_t done = 0; done < size;) {
        DWORD n = pipe.read(out.data() + done, static_cast<DWORD>(size - done), false);
        if (n == 0) break;
        done += n;
    }
    return out;
}

uint32_t u32(const std::string& bytes, size_t at) {
    uint32_t v;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

// The reply: status, text length, text.
void reply(Con::Pipe& pipe, int32_t status, const std::wstring& text, uint32_t announced = UINT32_MAX) {
    std::string out(8, '\0');
    uint32_t length = announced == UINT32_MAX ? static_cast<uint32_t>(text.size() * 2) : announced;
    std::memcpy(out.data(), &status, 4);
    std::memcpy(out.data() + 4, &length, 4);
    out.append(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    pipe.write(out.data(), static_cast<DWORD>(out.size()), true);
}

const size_t kRequestSize = 12 + 28 + 4 + 24; // for the 28-byte test SID

TEST(RunAsClient, RequestFieldsFollowTheTable) {
    std::string request;
    DWORD thread = GetCurrentThreadId();
    ScriptedRunAs service({[&](Con::ServerPipe& pipe) {
        request = readBytes(pipe, kRequestSize);
        reply(pipe, 0, L"");
        request += readBytes(pipe, kRequestSize);
        reply(pipe, 1, L"ignored");
    }});
    RunAsClient client(service.name());
    client.runAsUserImpersonated(userSid());
    client.runAsUser(userSid());
    ASSERT_EQ(request.size(), 2 * kRequestSize);
    EXPECT_EQ(u32(request, 0), 1u);  // marker
    EXPECT_EQ(u32(request, 4), 5u);  // kind
    EXPECT_EQ(u32(request, 8), 28u); // SID length
    EXPECT_EQ(security::Sid(request.data() + 12), userSid());
    EXPECT_EQ(u32(request, 40), 24u); // block length
    EXPECT_EQ(u32(request, 44), GetCurrentProcessId());
    EXPECT_EQ(u32(request, 48), thread);
    EXPECT_EQ(request.substr(52, 16), std::string(16, '\0'));
    EXPECT_EQ(u32(request, kRequestSize + 4), 4u);
    EXPECT_EQ(request.substr(0, kRequestSize), RunAsClient::encode(RunAsKind::runAsUserImpersonated,
                                                                   userSid(), GetCurrentProcessId(), thread));
}

TEST(RunAsClient, ARefusalRaisesTheServiceText) {
    ScriptedRunAs service({[&](Con::ServerPipe& pipe) {
        readBytes(pipe, kRequestSize);
        reply(pipe, -1, L"Unable to log on user alice");
        readBytes(pipe, kRequestSize);
        reply(pipe, 2, L""); // status 2 carries no text
    }});
    RunAsClient client(service.name());
    std::runtime_error e = failureOf<std::runtime_error>([&] { client.runAsUser(userSid()); });
    EXPECT_STREQ(e.what(), "Unable to log on user alice");
    client.runAsUser(userSid()); // the same connection goes on
}

TEST(RunAsClient, TruncatedAndOversizedRepliesFailAndDropTheConnection) {
    ScriptedRunAs service({[&](Con::ServerPipe& pipe) {
                               readBytes(pipe, kRequestSize);
                               reply(pipe, -1, L"short", 40); // announces 40 bytes, sends 10, then goes
                           },
                           [&](Con::ServerPipe& pipe) {
                               readBytes(pipe, kRequestSize);
                               reply(pipe, 1, L"", 0x7FFFFFF0);
                           },
                           [&](Con::ServerPipe& pipe) {
                               readBytes(pipe, kRequestSize);
                               reply(pipe, 1, L"", 3); // half a character
                           },
                           [&](Con::ServerPipe& pipe) {
                               readBytes(pipe, kRequestSize);
                               pipe.write("\0\0", 2, true); // half a status
                           },
                           [&](Con::ServerPipe& pipe) {
                               readBytes(pipe, kRequestSize);
                               reply(pipe, 0, L"");
                           }});
    RunAsClient client(service.name());
    auto message = [&] { return failureOf<vexception>([&] { client.runAsUser(userSid()); }).message(); };
    EXPECT_EQ(message(), L"Truncated reply of the run-as service");
    EXPECT_EQ(message(), L"Invalid reply of the run-as service: text of 2147483632 bytes");
    EXPECT_EQ(message(), L"Invalid reply of the run-as service: text of 3 bytes");
    EXPECT_EQ(message(), L"Truncated reply of the run-as service");
    client.runAsUser(userSid()); // each failure closed its connection: the next request gets a new one
}

TEST(RunAsClient, AServiceThatRestartedGetsTheWholeRequestAgain) {
    std::string second;
    ScriptedRunAs service({[&](Con::ServerPipe& pipe) {
                               readBytes(pipe, kRequestSize);
                               reply(pipe, 0, L"");
                           },
                           [&](Con::ServerPipe& pipe) {
                               second = readBytes(pipe, kRequestSize);
                               reply(pipe, 0, L"");
                           }});
    RunAsClient client(service.name());
    client.runAsUser(userSid());
    Sleep(200); // the first connection has been closed by the service
    client.runAsUserImpersonated(userSid());
    ASSERT_EQ(second.size(), kRequestSize);
    EXPECT_EQ(u32(second, 0), 1u);
    EXPECT_EQ(u32(second, 4), 5u);
}

TEST(RunAsClient, NoServiceIsThePipeError) {
    RunAsClient client(testsupport::uniquePipeName());
    std::wstring text = failureOf<vexception>([&] { client.runAsUser(userSid()); }).message();
    EXPECT_NE(text.find(L"Unable to connect to pipe"), std::wstring::npos) << text;
}

} // namespace
