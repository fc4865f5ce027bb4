#include "ipc/TarnisSrvClient.h"

#include "app/Exceptions.h"
#include "ipc/Serializer.h"
#include "ipc/TarnisSrvProtocol.h"
#include "support/FailureOf.h"
#include "support/Standin.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using testsupport::failureOf;
using testsupport::uniquePipeName;

std::string le32(uint32_t v) { return vserializer::writer().putRaw32(v).bytes(); }

// A management service inside the test process: connection i is served by script i on a thread.
// The next instance is created before the current one closes, so a reconnecting client finds it.
class ScriptedService {
public:
    class Connection {
    public:
        Connection(Con::ServerOverlappedPipe& pipe, HANDLE stop) : pipe_(pipe), stop_(stop) {}
        // One message, or "" when the client went or nothing came within 10 s.
        std::string receive() {
            std::string buffer(65536, '\0');
            DWORD got = pipe_.beginRead(buffer.data(), static_cast<DWORD>(buffer.size()), false);
            if (!pipe_.idle()) got = pipe_.complete(stop_, 10000, false);
            buffer.resize(got);
            return buffer;
        }
        // Receives one request (length message, payload message); returns the payload.
        std::string request() {
            std::string length = receive(), payload = receive();
            EXPECT_EQ(length, le32(static_cast<uint32_t>(payload.size())));
            return payload;
        }
        // Sends bytes as one message.
        void write(const std::string& message) {
            pipe_.write(message.data(), static_cast<DWORD>(message.size()), true);
        }
        // Answers with a block (nothing but the length 0 for an empty block).
        void answer(const std::string& block) {
            pipe_.write(le32(static_cast<uint32_t>(block.size())).data(), 4, true);
            if (!block.empty()) pipe_.write(block.data(), static_cast<DWORD>(block.size()), true);
        }

    private:
        Con::ServerOverlappedPipe& pipe_;
        HANDLE stop_;
    };
    using Script = std::function<void(Connection&)>;

    ScriptedService(std::wstring name, std::vector<Script> scripts)
        : name_(std::move(name)), stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        auto first = std::make_unique<Con::ServerOverlappedPipe>(name_, Con::PipeOptions{});
        thread_ = std::thread([this, scripts = std::move(scripts), current = std::move(first)]() mutable {
            for (size_t i = 0; i < scripts.size(); ++i) {
                if (!current->connect(10000, stop_.get())) return;
                Connection connection(*current, stop_.get());
                scripts[i](connection);
                auto next =
                    i + 1 < scripts.size() ? std::make_unique<Con::ServerOverlappedPipe>(name_, Con::PipeOptions{}) : nullptr;
                current->close();
                current = std::move(next);
            }
        });
    }
    ~ScriptedService() {
        SetEvent(stop_.get());
        thread_.join();
    }
    const std::wstring& name() const { return name_; }

private:
    std::wstring name_;
    platform::Handle stop_;
    std::thread thread_;
};

std::string text(const std::wstring& s) { return vserializer::writer().putText(s).bytes(); }

TEST(TarnisSrvClient, WritesRequestsInTheServiceEncoding) {
    std::vector<std::string> requests;
    ScriptedService service(uniquePipeName(), {[&](ScriptedService::Connection& c) {
                                std::string length = c.receive();
                                EXPECT_EQ(length, le32(27)); // total length as its own message
                                requests.push_back(c.receive());
                                c.answer(text(L"value"));
                                for (int i = 0; i < 4; ++i) {
                                    requests.push_back(c.request());
                                    c.answer(i == 2 ? std::string() : text(L"ok"));
                                }
                            }});
    TarnisSrvClient client(service.name());
    EXPECT_EQ(client.getString(L"X"), L"value");
    EXPECT_EQ(client.getExtString(L"MultiArc\\zip", L""), L"ok");
    EXPECT_EQ(client.getPassword(L"pwd"), L"ok");
    client.setPassword(L"pwd", L"s3");
    EXPECT_EQ(client.componentInfo(L"frontpage", 2), L"ok");
    ASSERT_EQ(requests.size(), 5u);

    const char getString[] = "\x10\0\0\0"
                             "\x3C\xBC\x3E\xAD\xB9\xE6\xCF\x4F\xAB\xB9\xED\x1B\x3D\x52\x4F\x22"
                             "\x03\0\0\0\x02X\0";
    EXPECT_EQ(requests[0], std::string(getString, sizeof getString - 1));

    auto op = [](const GUID& id) { return vserializer::writer().putGuid(id).bytes(); };
    // An empty text is the block length 1 and the byte 2.
    EXPECT_EQ(requests[1], op(tarnissrv::kGetExtString) + text(L"MultiArc\\zip") + std::string("\1\0\0\0\2", 5));
    EXPECT_EQ(requests[2], op(tarnissrv::kGetPassword) + text(L"pwd"));
    EXPECT_EQ(requests[3], op(tarnissrv::kSetPassword) + text(L"pwd") + text(L"s3"));
    EXPECT_EQ(requests[4], op(tarnissrv::kComponentInfo) + text(L"frontpage") + le32(4) + le32(2));
    EXPECT_EQ(text(L"ab").size(), 4u + 1u + 2u * 2u);
}

TEST(TarnisSrvClient, DecodesAnswersAndReportsMalformedOnes) {
    std::string narrow = vserializer::writer().putNarrowText("C:\\Caf\xE9").bytes();
    std::string serviceError = vserializer::writer().putError(L"Unknown setting X").bytes();
    std::vector<std::string> answers = {
        std::string(),                            // empty answer
        le32(0),                                  // a text block of length 0
        narrow,                                   // character size 1, system code page
        le32(3) + "\3ab",                         // unsupported character size
        le32(9) + "\2ab",                         // block longer than the answer
        serviceError,                             // the service's own failure
        le32(0xFFFFFFFF),                         // error marker without a message
        serviceError,                             // setPassword does not swallow a refusal
        std::string(),                            // setPassword: nothing to decode
        le32(7) + "\2" + std::string("O\0K\0!\0", 6), // UTF-16
    };
    ScriptedService service(uniquePipeName(), {[&](ScriptedService::Connection& c) {
                                for (const std::string& a : answers) {
                                    c.request();
                                    c.answer(a);
                                }
                            }});
    TarnisSrvClient client(service.name());

    auto empty = failureOf<vserializer::invalidprotocol>([&] { client.getString(L"X"); });
    EXPECT_EQ(empty.message(), L"Unexpected end of data when read from serializer.");
    ASSERT_FALSE(empty.contexts().empty());
    EXPECT_EQ(empty.contexts().back().message, L"getString(X)");
    EXPECT_EQ(empty.contexts().back().origin, "TarnisSrvClient::getString");

    EXPECT_EQ(failureOf<vserializer::invalidprotocol>([&] { client.getPassword(L"pwd"); }).message(),
              L"Unexpected end of data when read C-string from serializer.");
    EXPECT_EQ(client.getString(L"N"), L"C:\\Caf\u00E9");
    EXPECT_EQ(failureOf<vserializer::invalidprotocol>([&] { client.getString(L"X"); }).message(),
              L"Unsupported char size when read C-string from serializer.");
    EXPECT_EQ(failureOf<vserializer::invalidprotocol>([&] { client.getString(L"X"); }).message(),
              L"Unexpected end of data when read from serializer.");

    vexception refused = failureOf([&] { client.getExtString(L"S", L"X"); });
    EXPECT_EQ(refused.message(), L"Unknown setting X");
    EXPECT_EQ(refused.contexts().back().message, L"getExtString(S, X)");
    EXPECT_EQ(refused.contexts().back().origin, "TarnisSrvClient::getExtString");
    EXPECT_EQ(refused.text(false), L"Unknown setting X");

    EXPECT_EQ(failureOf<vserializer::invalidprotocol>([&] { client.componentInfo(L"frontpage", 2); }).message(),
              L"Double exception on read from serializer");
    vexception setRefused = failureOf([&] { client.setPassword(L"pwd", L"secret"); });
    EXPECT_EQ(setRefused.message(), L"Unknown setting X");
    EXPECT_EQ(setRefused.contexts().back().message, L"setPassword('pwd')");
    client.setPassword(L"pwd", L"secret");
    EXPECT_EQ(client.getString(L"X"), L"OK!");
}

TEST(TarnisSrvClient, RepeatsARequestOnceOverANewConnection) {
    std::vector<std::string> seen;
    auto serveOne = [&](ScriptedService::Connection& c) {
        seen.push_back(c.request());
        c.answer(text(L"answer " + std::to_wstring(seen.size())));
    };
    ScriptedService service(uniquePipeName(), {serveOne, serveOne});
    TarnisSrvClient client(service.name());
    EXPECT_EQ(client.getString(L"A"), L"answer 1");
    // The service closed the first connection after one request ("restarted").
    EXPECT_EQ(client.getString(L"B"), L"answer 2");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].substr(seen[1].size() - 2), std::string("B\0", 2));

    // No service left: the repeat's connect failure reaches the caller.
    vexception gone = failureOf([&] { client.getString(L"C"); });
    EXPECT_NE(gone.message().find(L"Unable to connect to pipe " + service.name()), std::wstring::npos);
    EXPECT_EQ(gone.contexts().back().message, L"getString(C)");
}

TEST(TarnisSrvClient, SettingsMemoAsksEachSettingOnceWhileItLasts) {
    std::string refusal = vserializer::writer().putError(L"Unknown setting B").bytes();
    std::vector<std::string> answers = {text(L"a"),   refusal,     refusal,     text(L"fp2"),
                                        text(L"fp3"), text(L"p1"), text(L"p2"), text(L"a again")};
    std::vector<std::string> seen;
    ScriptedService service(uniquePipeName(), {[&](ScriptedService::Connection& c) {
                                for (const std::string& answer : answers) {
                                    seen.push_back(c.request());
                                    c.answer(answer);
                                }
                            }});
    TarnisSrvClient client(service.name());
    {
        TarnisSrvClient::SettingsMemo memo;
        EXPECT_EQ(client.getString(L"A"), L"a");
        EXPECT_EQ(client.getString(L"A"), L"a");
        // A refusal is no answer to keep: the question goes to the service again.
        EXPECT_THROW(client.getString(L"B"), vexception);
        EXPECT_THROW(client.getString(L"B"), vexception);
        EXPECT_EQ(client.componentInfo(L"frontpage", 2), L"fp2");
        EXPECT_EQ(client.componentInfo(L"frontpage", 3), L"fp3");
        EXPECT_EQ(client.componentInfo(L"frontpage", 2), L"fp2");
        // Passwords can be changed by the run itself: never kept.
        EXPECT_EQ(client.getPassword(L"A"), L"p1");
        EXPECT_EQ(client.getPassword(L"A"), L"p2");
        EXPECT_EQ(client.requestsSent(), 7u);
    }
    EXPECT_EQ(client.getString(L"A"), L"a again"); // the run is over
    EXPECT_EQ(client.requestsSent(), 8u);
    EXPECT_EQ(seen.size(), 8u);
}

TEST(TarnisSrvClient, MissingServiceFailsAtOnce) {
    std::wstring name = uniquePipeName();
    ULONGLONG start = GetTickCount64();
    auto missing = failureOf<VFileNotFoundException>([&] { TarnisSrvClient client(name); });
    EXPECT_LT(GetTickCount64() - start, 500u);
    EXPECT_NE(missing.message().find(L" at Unable to connect to pipe " + name), std::wstring::npos);
}

TEST(TarnisSrvClient, SharedInstanceIsRetriedAfterAFailedConstruction) {
    testsupport::ServicePipeLock lock; // nothing else serves the real pipe meanwhile
    vexception missing = failureOf([] { TarnisSrvClient::getInstance(); });
    EXPECT_NE(missing.message().find(L"Unable to connect to pipe \\\\.\\pipe\\tnapipe"), std::wstring::npos);
    EXPECT_EQ(missing.contexts().back().message, L"get shared instance of TarnisSrvClient");
    EXPECT_EQ(missing.contexts().back().origin, "TarnisSrvClient::getInstance");

    ScriptedService service(tarnissrv::kPipeName, {[](ScriptedService::Connection& c) {
                                c.request();
                                c.answer(text(L"C:\\inetpub\\vhosts"));
                            }});
    TarnisSrvClient& shared = TarnisSrvClient::getInstance();
    EXPECT_EQ(&shared, &TarnisSrvClient::getInstance());
    EXPECT_EQ(shared.getString(L"HTTPD_VHOSTS_D"), L"C:\\inetpub\\vhosts");
}

} // namespace

namespace {

// The service may send an answer's length and block as one message: each framing is read, on a
// scripted service and on the stand-in with its one-message setting.
TEST(TarnisSrvClient, ReadsAnswersSentAsOneMessageOrAsTwo) {
    ScriptedService service(uniquePipeName(), {[&](ScriptedService::Connection& c) {
                                std::string block = text(L"one");
                                c.request();
                                std::string whole = le32(static_cast<uint32_t>(block.size())) + block;
                                c.write(whole);
                                c.request();
                                c.answer(text(L"two"));
                                c.request();
                                c.write(le32(0)); // an empty answer in one message is the length alone
                                c.request();
                                c.write(le32(0) + "x"); // data after an empty length: malformed
                            }});
    TarnisSrvClient client(service.name());
    EXPECT_EQ(client.getString(L"A"), L"one");
    EXPECT_EQ(client.getString(L"B"), L"two");
    client.setPassword(L"pwd", L"secret");
    EXPECT_THROW(client.getString(L"C"), vexception);
}

TEST(TarnisSrvClient, ReadsTheStandinInBothFramings) {
    for (const char* framing : {"one-message", "two-messages"}) {
        testsupport::PanelStandin standin(std::string("[service]\nanswers=") + framing +
                                          "\n[strings]\nHTTPD_VHOSTS_D=C:\\inetpub\\vhosts\n");
        TarnisSrvClient client(tarnissrv::kPipeName);
        EXPECT_EQ(client.getString(L"HTTPD_VHOSTS_D"), L"C:\\inetpub\\vhosts") << framing;
        EXPECT_EQ(failureOf([&] { client.getString(L"NOPE"); }).message(), L"Unknown setting NOPE")
            << framing;
    }
}

} // namespace
