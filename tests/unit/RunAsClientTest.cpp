#include "identity/RunAsClient.h"

#include "app/Exceptions.h"
#include "support/FailureOf.h"
#include "support/ScriptedRunAs.h"
#include "support/SecurityFixtures.h"
#include "support/Standin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using RunTime::RunAsClient;
using RunTime::RunAsKind;
using testsupport::failureOf;
using testsupport::userSid;

using testsupport::ScriptedRunAs;

std::string readBytes(Con::Pipe& pipe, size_t size) {
    return ScriptedRunAs::readBytes(pipe, size);
}

uint32_t u32(const std::string& bytes, size_t at) {
    uint32_t v;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

void reply(Con::Pipe& pipe, int32_t status, const std::wstring& text, uint32_t announced = UINT32_MAX) {
    ScriptedRunAs::reply(pipe, status, text, announced);
}

const size_t kRequestSize = ScriptedRunAs::requestSize(28); // for the 28-byte test SID

TEST(RunAsClient, RequestFieldsFollowTheTable) {
    std::string request;
    DWORD thread = GetCurrentThreadId();
    ScriptedRunAs service(testsupport::uniquePipeName(), {[&](Con::ServerPipe& pipe) {
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
    ScriptedRunAs service(testsupport::uniquePipeName(), {[&](Con::ServerPipe& pipe) {
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
    ScriptedRunAs service(testsupport::uniquePipeName(),
                          {[&](Con::ServerPipe& pipe) {
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
    ScriptedRunAs service(testsupport::uniquePipeName(), {[&](Con::ServerPipe& pipe) {
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
