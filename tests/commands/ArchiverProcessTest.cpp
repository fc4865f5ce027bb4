// The bounds of an archiver's run: its time (ended by this program) and the output kept from it.
#include "commands/files/ArchiverProcess.h"

#include "support/PolicyFixtures.h"
#include "support/Process.h"

#include <gtest/gtest.h>

namespace {

using namespace testsupport;

TEST(ArchiverProcess, ARunLongerThanTheLimitIsEndedAndSaysSo) {
    ScratchTree tree;
    ULONGLONG started = GetTickCount64();
    // A loop that never ends (step 0), printing as it goes.
    files::ArchiverResult run = files::runArchiver(cmdLine(L"/c \"for /l %i in (0,0,1) do @echo %i\""),
                                                   tree.root(), {1, files::kArchiverOutputLimit});
    ULONGLONG took = GetTickCount64() - started;
    EXPECT_TRUE(run.timedOut);
    EXPECT_EQ(run.exitCode, DWORD(WAIT_TIMEOUT));
    EXPECT_GE(took, 900u);
    EXPECT_LT(took, 15000u);

    // A run that ends in time is not marked.
    run = files::runArchiver(cmdLine(L"/c exit 3"), tree.root(), {5, files::kArchiverOutputLimit});
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 3u);
}

TEST(ArchiverProcess, OutputBeyondTheLimitIsReadAndDropped) {
    ScratchTree tree;
    std::string big;
    for (int i = 0; big.size() < 1024 * 1024; ++i)
        big += "line " + std::to_string(i) + "\r\n";
    std::wstring file = tree.file(L"big.txt", big);
    // The child writes a megabyte: it must run to its end (never blocked on a full pipe) while
    // only the first 64 KiB are kept.
    files::ArchiverResult run = files::runArchiver(cmdLine(L"/c type \"" + file + L"\""), tree.root());
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.outputCut);
    ASSERT_EQ(run.output.size(), files::kArchiverOutputLimit);
    EXPECT_EQ(run.output, big.substr(0, files::kArchiverOutputLimit));

    run = files::runArchiver(cmdLine(L"/c echo short"), tree.root());
    EXPECT_FALSE(run.outputCut);
    EXPECT_EQ(run.output, "short\r\n");
}

} // namespace
