#include "commands/Quarn.h"
#include "app/Text.h"
#include "support/Process.h"

#include <gtest/gtest.h>

namespace {

using testsupport::runQuarn;

const std::string kUsage = text::toUtf8(Quarn::kUsage);

TEST(Usage, NoArgumentsOrOnlyTheAccountPrintTheUsage) {
    for (auto args : {std::vector<std::wstring>{}, std::vector<std::wstring>{L"ROOT"}}) {
        auto r = runQuarn(args);
        EXPECT_EQ(r.out, kUsage);
        EXPECT_EQ(r.exitCode, 1u);
    }
}

TEST(Usage, CommandNamesAreCaseSensitive) {
    auto r = runQuarn({L"ROOT", L"CAT", L"x"});
    EXPECT_EQ(r.out, kUsage);
    EXPECT_EQ(r.exitCode, 1u);
    r = runQuarn({L"root", L"chmod", L"x"});
    EXPECT_EQ(r.out, kUsage);
    EXPECT_EQ(r.exitCode, 1u);
}

TEST(Usage, CommandWithoutArgumentsPrintsItsOwnUsage) {
    auto r = runQuarn({L"Root", L"cp"});
    EXPECT_EQ(r.out, "Usage:\ncp [keys] file\n\t-r, -R --recursive\tcopy file hierarchies\n\t-f, --force\tremove "
                     "existent path before copy\n\t-l, --link\tmake hard link\n");
    EXPECT_EQ(r.exitCode, 1u);
}

TEST(Usage, UnknownAccountFailsWithTheLookupMessage) {
    auto r = runQuarn({L"nosuchuser", L"cp", L"a", L"b"});
    EXPECT_EQ(r.out.rfind("Unable to lookup SID for name nosuchuser: (1332) ", 0), 0u) << r.out;
    EXPECT_EQ(r.exitCode, 1u);
}

} // namespace
