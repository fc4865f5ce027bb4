#include "app/Guard.h"
#include "app/Log.h"
#include "support/InProcess.h"
#include "support/PolicyFixtures.h"
#include "support/Process.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// A command whose start does whatever the test asks.
class Probe : public QuarnClass {
public:
    Probe(std::function<int()> body) : QuarnClass(L"probe", L"Usage:\nprobe\n"), body_(std::move(body)) {}
    int start(int, wchar_t**) override { return body_(); }

private:
    std::function<int()> body_;
};

testsupport::InProcessResult runProbe(std::function<int()> body) {
    return testsupport::runInProcess({L"ROOT", L"probe", L"arg"}, [body] {
        CommandList list;
        list.push_back(std::make_unique<Probe>(body));
        return list;
    });
}

__attribute__((noinline)) int readThrough(volatile int* p) { return *p; }

TEST(RunFrame, AccessViolationInsideACommandIsOneMessageAndExitOne) {
    testsupport::ScopedConfigDword debug(L"Debug", std::nullopt);
    auto r = runProbe([] { return readThrough(nullptr); });
    EXPECT_EQ(r.out, "C Exception: 3221225477");
    EXPECT_EQ(r.exitCode, 1);
    ASSERT_FALSE(r.events.empty());
    EXPECT_EQ(r.events.back().level, 3);
    EXPECT_EQ(r.events.back().message, L"C Exception: 3221225477");
}

// Structured exceptions that no frame handles and that the fault translator leaves alone: one
// raised with a code of its own, and a fault inside a system library.
TEST(RunFrame, UnhandledStructuredExceptionsAreOneMessageAndExitOne) {
    testsupport::ScopedConfigDword debug(L"Debug", std::nullopt);
    auto r = runProbe([]() -> int {
        RaiseException(0xE0001234, 0, 0, nullptr);
        return 0;
    });
    EXPECT_EQ(r.out, "C Exception: 3758101044");
    EXPECT_EQ(r.exitCode, 1);
    ASSERT_FALSE(r.events.empty());
    EXPECT_EQ(r.events.back().level, 3);
    EXPECT_EQ(r.events.back().message, L"C Exception: 3758101044");

    using Move = void(WINAPI*)(void*, const void*, SIZE_T);
    auto move = reinterpret_cast<Move>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlMoveMemory")));
    ASSERT_NE(move, nullptr);
    r = runProbe([move]() -> int {
        char target[16];
        move(target, reinterpret_cast<const void*>(16), sizeof target);
        return 0;
    });
    EXPECT_EQ(r.out, "C Exception: 3221225477");
    EXPECT_EQ(r.exitCode, 1);
    // The process goes on working afterwards.
    EXPECT_EQ(runProbe([] { return 0; }).exitCode, 0);
}

// Outside every guarded block the process ends: one message and exit code 1, not the exception
// code. The test program runs this test in a child of its own, which a variable tells to fail.
TEST(RunFrame, UnguardedStructuredExceptionEndsTheProcessWithOne) {
    const wchar_t* marker = L"QUARN_TEST_UNGUARDED_EXCEPTION";
    if (GetEnvironmentVariableW(marker, nullptr, 0) != 0) {
        installOutermostExceptionFilter();
        RaiseException(0xE0004321, 0, 0, nullptr);
        ADD_FAILURE() << "the process went on";
        return;
    }
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    testsupport::ScopedEnvironment child(marker, L"1");
    auto r = testsupport::runProgram(
        self, {L"--gtest_filter=RunFrame.UnguardedStructuredExceptionEndsTheProcessWithOne"});
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_NE(r.out.find("C Exception: 3758113569"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("the process went on"), std::string::npos) << r.out;
}

TEST(RunFrame, ForeignExceptionTypeIsUnexpectedError) {
    testsupport::ScopedConfigDword debug(L"Debug", std::nullopt);
    auto r = runProbe([]() -> int { throw 3.5; });
    EXPECT_EQ(r.out, "Unexpected error");
    EXPECT_EQ(r.exitCode, 1);
}

TEST(RunFrame, StartResultIsTheExitCode) {
    EXPECT_EQ(runProbe([] { return 0; }).exitCode, 0);
    EXPECT_EQ(runProbe([] { return 7; }).exitCode, 7);
}

TEST(RunFrame, MessagesAreSeparatedByOneLineFeedAndNoneFollowsTheLast) {
    testsupport::ScopedConfigDword debug(L"Debug", std::nullopt);
    auto r = runProbe([]() -> int {
        LogManager::instance().log(2, L"%s", L"first");
        LogManager::instance().log(2, L"second\n");
        throw std::runtime_error("third");
    });
    EXPECT_EQ(r.out, "first\nsecond\n\nthird");
}

TEST(RunFrame, DebugModeAddsContextsAndTheCallStack) {
    testsupport::ScopedConfigDword debug(L"Debug", 1);
    auto r = runProbe([]() -> int { throw std::runtime_error("Unable to copy"); });
    EXPECT_EQ(r.exitCode, 1);
    // Message, the run frame's context, then one line per stack frame.
    const std::string head = "Unable to copy\n   at execute ";
    ASSERT_EQ(r.out.substr(0, head.size()), head) << r.out;
    size_t contextEnd = r.out.find("(RunTime::RunAsUser::run line 305)\n");
    ASSERT_NE(contextEnd, std::string::npos) << r.out;
    std::string stack = r.out.substr(r.out.find('\n', contextEnd) + 1);
    ASSERT_FALSE(stack.empty());
    EXPECT_EQ(stack.substr(0, 6), "   at ");
    EXPECT_EQ(stack.back(), '\n');
}

TEST(RunFrame, DebugModeOffPrintsOnlyTheMessage) {
    testsupport::ScopedConfigDword debug(L"Debug", 0);
    auto r = runProbe([]() -> int { throw std::runtime_error("Unable to copy"); });
    EXPECT_EQ(r.out, "Unable to copy");
}

TEST(RunFrame, FailureBeforeTheCommandCarriesTheDispatchContext) {
    testsupport::ScopedConfigDword debug(L"Debug", 1);
    auto r = testsupport::runInProcess({L"no-such-account", L"cp", L"a", L"b"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("\n   at execute command cp(Quarn::start line 4032)\n   at execute "), std::string::npos)
        << r.out;
}

TEST(Dispatcher, RootInAnyCaseReachesTheCommand) {
    for (const wchar_t* account : {L"ROOT", L"root", L"Root", L"popuser"}) {
        auto r = testsupport::runInProcess({account, L"cp"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out.rfind("Usage:\ncp", 0), 0u) << r.out;
    }
}

} // namespace
