#include "app/Text.h"
#include "commands/Quarn.h"
#include "platform/Handle.h"
#include "support/InProcess.h"
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


using testsupport::ScopedConfigDword;
using testsupport::ScopedConfigString;

TEST(RunFrameE2e, DebugFlagDecidesBetweenShortAndFullMessages) {
    {
        ScopedConfigDword debug(L"Debug", std::nullopt);
        auto r = runQuarn({L"nosuchuser", L"cp", L"a", L"b"});
        EXPECT_EQ(r.exitCode, 1u);
        EXPECT_EQ(r.out.find('\n'), std::string::npos) << r.out; // one line, no trailing line feed
    }
    ScopedConfigDword debug(L"Debug", 1);
    auto r = runQuarn({L"nosuchuser", L"cp", L"a", L"b"});
    EXPECT_EQ(r.exitCode, 1u);
    // The message, one line per context (the dispatch context among them), then the call stack.
    size_t dispatch = r.out.find("\n   at execute command cp(Quarn::start line 4032)\n");
    ASSERT_NE(dispatch, std::string::npos) << r.out;
    size_t frame = r.out.find("(RunTime::RunAsUser::run line 305)\n", dispatch);
    ASSERT_NE(frame, std::string::npos) << r.out;
    std::string stack = r.out.substr(frame + 35);
    EXPECT_EQ(stack.substr(0, 6), "   at ") << r.out;
    EXPECT_NE(stack.find("Quarn::start"), std::string::npos) << stack;
}

TEST(RunFrameE2e, EventSourceIsRegisteredUnderTheConfiguredLog) {
    ScopedConfigString log(L"TarnisService", L"TarnisTestLog");
    const wchar_t* key = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\TarnisTestLog\\quarn.exe";
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, key);
    auto r = runQuarn({L"nosuchuser", L"cp", L"a", L"b"});
    EXPECT_EQ(r.exitCode, 1u);
    platform::RegKey source;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, source.receive()), ERROR_SUCCESS);
    wchar_t file[MAX_PATH] = {};
    DWORD size = sizeof file, type = 0;
    ASSERT_EQ(RegQueryValueExW(source.get(), L"EventMessageFile", nullptr, &type, reinterpret_cast<BYTE*>(file), &size),
              ERROR_SUCCESS);
    EXPECT_NE(std::wstring(file).find(L"quarn.exe"), std::wstring::npos);
    source.reset();
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, key);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\TarnisTestLog");
}

} // namespace
