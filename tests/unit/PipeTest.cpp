#include "ipc/Pipe.h"

#include "app/Exceptions.h"
#include "support/InProcess.h"
#include "support/Standin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using testsupport::uniquePipeName;

constexpr DWORD kAccess = GENERIC_READ | GENERIC_WRITE;

template <class F> std::wstring failureOf(F&& f) {
    try {
        f();
    } catch (const vexception& e) {
        return e.message() + L" @" + std::wstring(e.contexts().at(0).origin.begin(), e.contexts().at(0).origin.end());
    }
    return L"(no failure)";
}

// A duplex message-mode server end and a client end connected to it, in either flavour.
template <class Server, class Client> struct Connected {
    std::wstring name = uniquePipeName();
    Server server{name, Con::PipeOptions{}};
    Client client{name, kAccess, PIPE_READMODE_MESSAGE, 1};
    Connected() { server.connect(); }
};

template <class T> class PipeFlavours : public ::testing::Test {};
struct Sync {
    using Server = Con::ServerPipe;
    using Client = Con::ClientPipe;
    static constexpr const char* kReadOrigin = "Con::Pipe::read";
};
struct Async {
    using Server = Con::ServerOverlappedPipe;
    using Client = Con::ClientOverlappedPipe;
    static constexpr const char* kReadOrigin = "Con::OverlappedPipe::internalComplete";
};
using Flavours = ::testing::Types<Sync, Async>;
TYPED_TEST_SUITE(PipeFlavours, Flavours);

TYPED_TEST(PipeFlavours, TransfersMessagesAndChecksExactCounts) {
    Connected<typename TypeParam::Server, typename TypeParam::Client> pipe;
    EXPECT_EQ(pipe.client.write("hello", 5, true), 5u);
    char buffer[16] = {};
    EXPECT_EQ(pipe.server.read(buffer, sizeof buffer, false), 5u);
    EXPECT_EQ(std::string(buffer, 5), "hello");

    // A message shorter than an exact read asks for.
    pipe.server.write("abc", 3, true);
    std::wstring origin(TypeParam::kReadOrigin, TypeParam::kReadOrigin + std::strlen(TypeParam::kReadOrigin));
    EXPECT_EQ(failureOf([&] { pipe.client.read(buffer, 8, true); }), L"Completed only 3 of 8 bytes @" + origin);
    EXPECT_FALSE(pipe.client.finished());

    // The pipe still works after the failed check.
    pipe.server.write("xy", 2, true);
    EXPECT_EQ(pipe.client.read(buffer, 2, true), 2u);
    EXPECT_EQ(std::string(buffer, 2), "xy");
}

TYPED_TEST(PipeFlavours, ClosedServerEndMakesEveryTransferReturnZero) {
    Connected<typename TypeParam::Server, typename TypeParam::Client> pipe;
    pipe.server.write("last", 4, true);
    pipe.server.close();
    EXPECT_FALSE(pipe.server.isOpen());
    EXPECT_TRUE(pipe.server.finished());
    char buffer[8] = {};
    EXPECT_EQ(pipe.client.read(buffer, sizeof buffer, false), 4u); // what was sent before still arrives
    EXPECT_EQ(pipe.client.read(buffer, sizeof buffer, false), 0u);
    EXPECT_TRUE(pipe.client.finished());
    EXPECT_EQ(pipe.client.read(buffer, sizeof buffer, true), 0u);
    EXPECT_EQ(pipe.client.write("x", 1, true), 0u);
    EXPECT_EQ(pipe.server.write("x", 1, true), 0u); // a closed pipe moves nothing either
}

TYPED_TEST(PipeFlavours, ClonesShareTheConnectionAndClosedPipesCloneClosed) {
    Connected<typename TypeParam::Server, typename TypeParam::Client> pipe;
    std::unique_ptr<Con::Pipe> copy = pipe.client.clone();
    ASSERT_NE(dynamic_cast<typename TypeParam::Client*>(copy.get()), nullptr);
    EXPECT_NE(copy->handle(), pipe.client.handle());
    copy->write("via copy", 8, true);
    char buffer[16] = {};
    EXPECT_EQ(pipe.server.read(buffer, 8, true), 8u);

    copy->close();
    std::unique_ptr<Con::Pipe> closed = copy->clone();
    EXPECT_FALSE(closed->isOpen());
    EXPECT_TRUE(closed->finished());
    EXPECT_EQ(closed->read(buffer, 1, false), 0u);
}

TYPED_TEST(PipeFlavours, PipePairCarriesBytesFromClientToServer) {
    bool overlapped = std::is_same_v<TypeParam, Async>;
    auto [readEnd, writeEnd] = Con::createPipePair(overlapped, 4096, 4096);
    ASSERT_NE(dynamic_cast<typename TypeParam::Server*>(readEnd.get()), nullptr);
    ASSERT_NE(dynamic_cast<typename TypeParam::Client*>(writeEnd.get()), nullptr);
    writeEnd->write("abcdef", 6, true);
    char buffer[6] = {};
    EXPECT_EQ(readEnd->read(buffer, 3, true), 3u); // byte mode: partial reads
    EXPECT_EQ(readEnd->read(buffer + 3, 3, true), 3u);
    EXPECT_EQ(std::string(buffer, 6), "abcdef");
    writeEnd->close();
    EXPECT_EQ(readEnd->read(buffer, 1, false), 0u);
    EXPECT_TRUE(readEnd->finished());
}

TEST(OverlappedPipe, RequestsAlternateWithCompletion) {
    Connected<Con::ServerOverlappedPipe, Con::ClientOverlappedPipe> pipe;
    char buffer[16] = {};
    EXPECT_EQ(failureOf([&] { pipe.client.complete(nullptr, 0, false); }),
              L"Previous request has completed! @Con::OverlappedPipe::complete");

    EXPECT_EQ(pipe.client.beginRead(buffer, sizeof buffer, false), 0u);
    EXPECT_FALSE(pipe.client.idle());
    EXPECT_EQ(failureOf([&] { pipe.client.beginRead(buffer, sizeof buffer, false); }),
              L"Previous request has not completed! @Con::OverlappedPipe::beginRead");
    EXPECT_EQ(failureOf([&] { pipe.client.beginWrite("x", 1, false); }),
              L"Previous request has not completed! @Con::OverlappedPipe::beginWrite");

    // A time-out cancels the outstanding request; the pipe is idle again.
    EXPECT_EQ(pipe.client.complete(nullptr, 50, false), 0u);
    EXPECT_TRUE(pipe.client.idle());
    EXPECT_FALSE(pipe.client.finished());

    // So does the extra handle.
    platform::Handle extra(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    pipe.client.beginRead(buffer, sizeof buffer, false);
    EXPECT_EQ(pipe.client.complete(extra.get(), INFINITE, false), 0u);
    EXPECT_TRUE(pipe.client.idle());

    // An outstanding read completes once data arrives.
    EXPECT_EQ(pipe.client.beginRead(buffer, sizeof buffer, false), 0u);
    pipe.server.write("data", 4, true);
    EXPECT_EQ(pipe.client.complete(nullptr, 5000, false), 4u);
    EXPECT_EQ(std::string(buffer, 4), "data");
}

TEST(OverlappedPipe, OutstandingReadEndsWhenTheServerGoes) {
    Connected<Con::ServerOverlappedPipe, Con::ClientOverlappedPipe> pipe;
    char buffer[4] = {};
    pipe.client.beginRead(buffer, sizeof buffer, false);
    pipe.server.close();
    EXPECT_EQ(pipe.client.complete(nullptr, 5000, false), 0u);
    EXPECT_TRUE(pipe.client.finished());
    EXPECT_TRUE(pipe.client.idle());
    EXPECT_EQ(pipe.client.beginRead(buffer, sizeof buffer, true), 0u);
}

TEST(OverlappedPipe, ServerConnectWaitsBoundedOrUntilTheExtraHandle) {
    std::wstring name = uniquePipeName();
    Con::ServerOverlappedPipe server(name, Con::PipeOptions{});
    EXPECT_EQ(failureOf([&] { server.connect(50); }).find(L" at Unable to wait while pipe has been connected @"
                                                          L"Con::ServerOverlappedPipe::connect") != std::wstring::npos,
              true);
    platform::Handle extra(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    EXPECT_FALSE(server.connect(INFINITE, extra.get()));
    // A client that came before the wait counts as connected.
    Con::ClientOverlappedPipe client(name, kAccess, PIPE_READMODE_MESSAGE, 1);
    EXPECT_TRUE(server.connect(50));
}

TEST(Overlapped, CopiesOwnADuplicateOfTheEvent) {
    Con::Overlapped original;
    EXPECT_EQ(WaitForSingleObject(original.event(), 0), WAIT_OBJECT_0); // created signalled
    Con::Overlapped copy(original);
    EXPECT_NE(copy.event(), original.event());
    copy.reset(); // the same kernel event
    EXPECT_EQ(WaitForSingleObject(original.event(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

// ---- connecting

class PipeConnect : public ::testing::Test {
protected:
    // The setting is read on the first connection and every 16th after it: start afresh, and
    // leave nothing behind for later tests.
    void SetUp() override { Con::restartPipeConnectTryCount(); }
    void TearDown() override { Con::restartPipeConnectTryCount(); }

    // A pipe with one instance, held by a client: further clients find it busy.
    struct BusyPipe {
        std::wstring name = uniquePipeName();
        Con::ServerPipe server{name, Con::PipeOptions{PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE, 1}};
        Con::ClientPipe holder{name, kAccess, PIPE_READMODE_MESSAGE, 1};
    };

    static double secondsToFail(const BusyPipe& busy, int attempts, std::wstring* failure) {
        ULONGLONG start = GetTickCount64();
        *failure = failureOf([&] { Con::ClientPipe(busy.name, kAccess, PIPE_READMODE_MESSAGE, attempts); });
        return (GetTickCount64() - start) / 1000.0;
    }
};

TEST_F(PipeConnect, MissingPipeFailsAtOnceNamingThePipe) {
    testsupport::ScopedConfigDword tries(L"PipeConnectTryCount", 5);
    std::wstring name = uniquePipeName();
    ULONGLONG start = GetTickCount64();
    try {
        Con::ClientOverlappedPipe(name, kAccess, PIPE_READMODE_MESSAGE, 3);
        FAIL() << "connected to a missing pipe";
    } catch (const VFileNotFoundException& e) {
        EXPECT_EQ(e.code(), 2u);
        std::wstring suffix = L" (Error code 2) at Unable to connect to pipe " + name;
        EXPECT_EQ(e.message().substr(e.message().size() - suffix.size()), suffix);
        EXPECT_EQ(e.contexts().at(0).origin, "Con::ClientOverlappedPipe::create");
    }
    EXPECT_LT(GetTickCount64() - start, 500u);
}

TEST_F(PipeConnect, TryCountSettingReplacesTheCallersAttempts) {
    BusyPipe busy;
    std::wstring failure;
    double callers = secondsToFail(busy, 2, &failure);
    EXPECT_EQ(failure, L"Unable to connect to pipe " + busy.name + L" @Con::ClientPipe::create");

    Con::restartPipeConnectTryCount();
    testsupport::ScopedConfigDword tries(L"PipeConnectTryCount", 5);
    double configured = secondsToFail(busy, 2, &failure);
    EXPECT_EQ(failure, L"Unable to connect to pipe " + busy.name + L" @Con::ClientPipe::create");
    // Each attempt waits about a second for the busy pipe.
    EXPECT_GT(callers, 1.5);
    EXPECT_LT(callers, 4.0);
    EXPECT_GT(configured, 4.5);
    EXPECT_LT(configured, 9.0);
    std::printf("busy pipe: 2 attempts %.2f s, 5 attempts %.2f s\n", callers, configured);
}

TEST_F(PipeConnect, UnreadableSettingIsNeverReadAgain) {
    BusyPipe busy;
    std::wstring failure;
    {
        testsupport::ScopedConfigString wrongType(L"PipeConnectTryCount", L"5");
        EXPECT_LT(secondsToFail(busy, 1, &failure), 2.0); // the caller's single attempt
    }
    testsupport::ScopedConfigDword tries(L"PipeConnectTryCount", 5);
    EXPECT_LT(secondsToFail(busy, 1, &failure), 2.0); // still not read again
    EXPECT_EQ(Con::pipeConnectTryCount(3), 3);
}

TEST_F(PipeConnect, SettingIsReadOnTheFirstUseAndEverySixteenth) {
    testsupport::ScopedConfigDword tries(L"PipeConnectTryCount", 7);
    EXPECT_EQ(Con::pipeConnectTryCount(2), 7); // use 1
    {
        testsupport::ScopedConfigDword changed(L"PipeConnectTryCount", 9);
        for (int use = 2; use <= 16; ++use) EXPECT_EQ(Con::pipeConnectTryCount(2), 7) << use;
        EXPECT_EQ(Con::pipeConnectTryCount(2), 9); // use 17
    }
    testsupport::ScopedConfigDword zero(L"PipeConnectTryCount", 0);
    for (int use = 18; use <= 32; ++use) Con::pipeConnectTryCount(2);
    EXPECT_EQ(Con::pipeConnectTryCount(2), 2); // use 33: 0 leaves the caller's count
}

} // namespace
