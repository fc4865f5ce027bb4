#include "app/Text.h"
#include "support/PolicyFixtures.h"
#include "support/Process.h"
#include "support/Standin.h"

#include <gtest/gtest.h>

namespace {

using testsupport::runQuarn;

class CatTouchE2e : public ::testing::Test {
protected:
    CatTouchE2e() : tree(L"C:") { tree.folder(L"vhosts"); }
    std::string settings() const {
        return "[strings]\nPRODUCT_ROOT_D=" + text::toUtf8(tree.path(L"product")) +
               "\nPRODUCT_DATA_D=" + text::toUtf8(tree.path(L"data")) +
               "\nHTTPD_VHOSTS_D=" + text::toUtf8(tree.path(L"vhosts")) +
               "\nCATALINA_HOME=\nDUMP_D=\n[components]\nfrontpage:2=\n";
    }
    testsupport::ScratchTree tree;
};

TEST_F(CatTouchE2e, CatCopiesEveryByteToStandardOutput) {
    testsupport::PanelStandin standin(settings());
    std::string binary("line one\r\n\x00\x1A\x7F\xFF\r\nend\n", 19);
    for (int b = 0; b < 256; ++b)
        binary += static_cast<char>(b);
    binary += std::string(10000, '\x1A') + "\n"; // more than one 4096-byte piece
    auto r = runQuarn({L"ROOT", L"cat", tree.file(L"vhosts\\blob.bin", binary)});
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(r.out, binary);

    // No final line feed: one is added; an empty file gives just the line feed.
    r = runQuarn({L"ROOT", L"cat", tree.file(L"vhosts\\open.txt", "no end\r")});
    EXPECT_EQ(r.out, "no end\r\n");
    r = runQuarn({L"ROOT", L"cat", tree.file(L"vhosts\\empty.txt")});
    EXPECT_EQ(r.out, "\n");
    EXPECT_EQ(r.exitCode, 0u);
}

// The stamp is local time: with the zone nine hours east of UTC, 14:05:09 is 05:05:09 UTC.
TEST_F(CatTouchE2e, TouchStampsAreLocalTime) {
    testsupport::PanelStandin standin(settings());
    testsupport::ScopedEnvironment zone(L"TZ", std::wstring(L"JST-9"));
    std::wstring file = tree.file(L"vhosts\\page.html", "x");
    std::wstring reference = tree.file(L"vhosts\\reference.html", "r");
    auto r = runQuarn({L"ROOT", L"touch", L"-t", L"200102031405.09", file});
    EXPECT_EQ(r.exitCode, 0u) << r.out;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data));
    SYSTEMTIME utc{};
    FileTimeToSystemTime(&data.ftLastWriteTime, &utc);
    EXPECT_EQ(utc.wYear, 2001);
    EXPECT_EQ(utc.wMonth, 2);
    EXPECT_EQ(utc.wDay, 3);
    EXPECT_EQ(utc.wHour, 5);
    EXPECT_EQ(utc.wMinute, 5);
    EXPECT_EQ(utc.wSecond, 9);

    // A reference's time passes through local time and back unchanged.
    r = runQuarn({L"ROOT", L"touch", L"-r", file, reference});
    EXPECT_EQ(r.exitCode, 0u) << r.out;
    WIN32_FILE_ATTRIBUTE_DATA copied{};
    ASSERT_TRUE(GetFileAttributesExW(reference.c_str(), GetFileExInfoStandard, &copied));
    EXPECT_EQ(CompareFileTime(&copied.ftLastWriteTime, &data.ftLastWriteTime), 0);
}

} // namespace
