#include "app/Text.h"
#include "support/PolicyFixtures.h"
#include "support/Process.h"
#include "support/Standin.h"

#include <gtest/gtest.h>

namespace {

using testsupport::runQuarn;

// Folders on the Wine drive outside the temporary directory (which is an allowed root itself).
class PolicyE2e : public ::testing::Test {
protected:
    PolicyE2e() : tree(L"C:") {
        tree.file(L"vhosts\\site\\index.html", "<html/>");
        tree.folder(L"product\\admin\\bin");
        tree.file(L"outside\\secret.txt", "secret");
    }
    std::string settings() const {
        return "[strings]\nPRODUCT_ROOT_D=" + text::toUtf8(tree.path(L"product")) +
               "\nPRODUCT_DATA_D=" + text::toUtf8(tree.path(L"data")) +
               "\nHTTPD_VHOSTS_D=" + text::toUtf8(tree.path(L"vhosts\\")) + "\nCATALINA_HOME=\nDUMP_D=\n[components]\nfrontpage:2=\n";
    }
    std::string display(const std::wstring& relative) const { return text::toUtf8(tree.path(relative)); }

    testsupport::ScratchTree tree;
};

TEST_F(PolicyE2e, FileExistsAndRefusalsWithTheService) {
    testsupport::PanelStandin standin(settings());

    auto r = runQuarn({L"ROOT", L"file_exists", tree.path(L"vhosts\\site\\index.html")});
    EXPECT_EQ(r.out, "0\n");
    EXPECT_EQ(r.exitCode, 0u);
    r = runQuarn({L"ROOT", L"file_exists", tree.path(L"vhosts/site/new/../missing.html")});
    EXPECT_EQ(r.out, "1\n");
    EXPECT_EQ(r.exitCode, 0u);

    r = runQuarn({L"ROOT", L"file_exists", tree.path(L"outside\\secret.txt")});
    EXPECT_EQ(r.out, "<XmlError Error=\"Path is not allowed.\" ErrorCode=\"path_is_not_allowed\" ErrorDetails=\"" +
                         display(L"outside\\secret.txt") + ": Path is not allowed\"/>\r\n");
    EXPECT_EQ(r.exitCode, 0u);
    r = runQuarn({L"ROOT", L"file_exists", tree.path(L"PRODUCT\\Admin\\BIN")});
    EXPECT_NE(r.out.find("ErrorCode=\"path_is_not_allowed\""), std::string::npos) << r.out;

    // A classic command refuses with a plain message and exit code 1, nothing copied.
    r = runQuarn({L"ROOT", L"cp", tree.path(L"outside\\secret.txt"), tree.path(L"vhosts\\site\\stolen.txt")});
    EXPECT_EQ(r.out, display(L"outside\\secret.txt") + ": Path is not allowed");
    EXPECT_EQ(r.exitCode, 1u);
    r = runQuarn({L"ROOT", L"cp", tree.path(L"vhosts\\site\\index.html"), tree.path(L"product\\admin\\bin\\x.exe")});
    // (Wine answers the long path of a missing "\\?\" path with the path itself; Windows with the
    // nearest existing folder.)
    EXPECT_EQ(r.out.rfind(display(L"product\\admin\\bin"), 0), 0u) << r.out;
    EXPECT_NE(r.out.find(": Path is not allowed"), std::string::npos) << r.out;
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(GetFileAttributesW(tree.path(L"vhosts\\site\\stolen.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(tree.path(L"product\\admin\\bin\\x.exe").c_str()), INVALID_FILE_ATTRIBUTES);
}

// quarn.exe on real folders, with the service answering in one message: Wine's own short
// names, stream names and the denied root's ancestors; refused commands change nothing.
TEST_F(PolicyE2e, HostileSpellingsAreRefusedAndChangeNothing) {
    tree.folder(L"Product Root Folder\\admin\\bin");
    testsupport::PanelStandin standin("[service]\nanswers=one-message\n[strings]\nPRODUCT_ROOT_D=" +
                                      text::toUtf8(tree.path(L"Product Root Folder")) +
                                      "\nHTTPD_VHOSTS_D=" + text::toUtf8(tree.path(L"vhosts")) +
                                      "\nPRODUCT_DATA_D=" + text::toUtf8(tree.path(L"data")) +
                                      "\nCATALINA_HOME=\nDUMP_D=\n[components]\nfrontpage:2=\n");
    wchar_t buffer[MAX_PATH] = {};
    DWORD n = GetShortPathNameW(tree.path(L"Product Root Folder").c_str(), buffer, MAX_PATH);
    ASSERT_GT(n, 0u);
    std::wstring product(buffer, n);
    ASSERT_NE(product, tree.path(L"Product Root Folder"));

    auto r = runQuarn({L"ROOT", L"file_exists", product + L"\\admin\\bin"});
    EXPECT_NE(r.out.find("ErrorCode=\"path_is_not_allowed\""), std::string::npos) << r.out;
    r = runQuarn({L"ROOT", L"file_exists", tree.path(L"Product Root Folder\\admin\\bin::$INDEX_ALLOCATION")});
    EXPECT_NE(r.out.find("ErrorCode=\"path_is_invalid\""), std::string::npos) << r.out;
    r = runQuarn({L"ROOT", L"file_exists", product + L"\\admin"});
    EXPECT_EQ(r.out, "0\n"); // reading is allowed

    for (const std::wstring& above : {product, product + L"\\admin", tree.path(L"Product Root Folder")}) {
        r = runQuarn({L"ROOT", L"--ex-remove", L"--path=" + above});
        EXPECT_NE(r.out.find("ErrorCode=\"path_is_not_allowed\""), std::string::npos) << r.out;
        EXPECT_EQ(r.exitCode, 0u);
        r = runQuarn({L"ROOT", L"rm", above});
        EXPECT_NE(r.out.find(": Path is not allowed"), std::string::npos) << r.out;
        EXPECT_EQ(r.exitCode, 1u);
    }
    EXPECT_NE(GetFileAttributesW(tree.path(L"Product Root Folder\\admin\\bin").c_str()),
              INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesW(tree.path(L"vhosts\\site\\index.html").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(PolicyE2e, WithoutTheServiceEveryCommandFails) {
    testsupport::ServicePipeLock nobodyServes;
    auto r = runQuarn({L"ROOT", L"cp", tree.path(L"vhosts\\site\\index.html"), tree.path(L"vhosts\\copy.html")});
    EXPECT_NE(r.out.find("Unable to connect to pipe \\\\.\\pipe\\tnapipe"), std::string::npos) << r.out;
    EXPECT_EQ(r.exitCode, 1u);
    r = runQuarn({L"ROOT", L"file_exists", tree.path(L"vhosts\\site\\index.html")});
    EXPECT_EQ(r.out.rfind("<XmlError ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("Unable to connect to pipe \\\\.\\pipe\\tnapipe"), std::string::npos) << r.out;
    // A service outage is no answer about the path: not "path_not_found", but "unknown".
    EXPECT_NE(r.out.find("ErrorCode=\"unknown\""), std::string::npos) << r.out;
    EXPECT_EQ(r.exitCode, 0u);
}

} // namespace
