#include "support/InProcess.h"

#include <gtest/gtest.h>

namespace {

TEST(Dispatcher, RootInAnyCaseReachesTheCommand) {
    for (const wchar_t* account : {L"ROOT", L"root", L"Root", L"popuser"}) {
        auto r = testsupport::runInProcess({account, L"cp"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out.rfind("Usage:\ncp", 0), 0u) << r.out;
    }
}

} // namespace
