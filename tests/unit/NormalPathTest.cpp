#include "app/Exceptions.h"
#include "app/Text.h"
#include "commands/PathPolicy.h"
#include "paths/NormalPath.h"
#include "paths/PathSyntax.h"
#include "support/PolicyFixtures.h"
#include "support/SubstitutePlatform.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace pathpolicy;
using namespace paths;

std::vector<std::wstring> configured(const std::vector<Root>& roots) {
    std::vector<std::wstring> out;
    for (const Root& root : roots) out.push_back(root.configured);
    return out;
}

std::string failureOf(const std::wstring& base, const std::wstring& input) {
    try {
        normalizePath(base, input);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(no failure)";
}

TEST(NormalPath, DrivePathsFoldSeparatorsAndDots) {
    EXPECT_EQ(normalizePath(L"", L"C:/inetpub//vhosts/./a/../b"), L"\\\\?\\C:\\inetpub\\vhosts\\b");
    EXPECT_EQ(normalizePath(L"", L"C:\\a\\.."), L"\\\\?\\C:\\");
    EXPECT_EQ(normalizePath(L"", L"C:"), L"\\\\?\\C:\\");
    EXPECT_EQ(normalizePath(L"", L"C:\\"), L"\\\\?\\C:\\");
    EXPECT_EQ(normalizePath(L"", L"c:\\\\/\\a/\\/b\\\\"), L"\\\\?\\c:\\a\\b");
    EXPECT_EQ(normalizePath(L"", L"C:\\a\\."), L"\\\\?\\C:\\a");
    EXPECT_EQ(normalizePath(L"", L"C:\\a\\.\\.\\b\\.\\"), L"\\\\?\\C:\\a\\b");
    // A dot only counts as a whole component: names that start or end with dots stay as they are.
    EXPECT_EQ(normalizePath(L"", L"C:\\w\\.htaccess"), L"\\\\?\\C:\\w\\.htaccess");
    EXPECT_EQ(normalizePath(L"", L"C:\\w\\..x\\y"), L"\\\\?\\C:\\w\\..x\\y");
    EXPECT_EQ(normalizePath(L"", L"C:\\w\\a.\\b"), L"\\\\?\\C:\\w\\a.\\b");
    EXPECT_EQ(normalizePath(L"", L"C:\\w\\a..\\b"), L"\\\\?\\C:\\w\\a..\\b");
    EXPECT_EQ(normalizePath(L"", L"C:\\w\\...\\b"), L"\\\\?\\C:\\w\\...\\b");
    // Trailing dots and spaces are kept: the "\\?\" form names exactly that item.
    EXPECT_EQ(normalizePath(L"", L"C:\\w\\site. \\f ."), L"\\\\?\\C:\\w\\site. \\f .");
}

TEST(NormalPath, ParentAboveTheRootIsRefused) {
    EXPECT_EQ(failureOf(L"", L"C:\\.."), "Invalid input path () + (C:\\..)");
    EXPECT_EQ(failureOf(L"", L"C:\\a\\..\\..\\x"), "Invalid input path () + (C:\\a\\..\\..\\x)");
    EXPECT_EQ(failureOf(L"\\\\?\\C:\\base", L"..\\.."), "Invalid input path (C:\\base) + (..\\..)");
    EXPECT_EQ(failureOf(L"", L"").rfind("Empty input path: (87) ", 0), 0u);
}

TEST(NormalPath, PrefixedConsoleAndRelativeForms) {
    EXPECT_EQ(normalizePath(L"", L"CONOUT$"), L"CONOUT$");
    EXPECT_EQ(normalizePath(L"", L"conin$"), L"conin$");
    EXPECT_EQ(normalizePath(L"", L"\\\\server\\share\\x\\"), L"\\\\server\\share\\x");
    EXPECT_EQ(normalizePath(L"", L"\\\\?\\C:"), L"\\\\?\\C:\\");
    EXPECT_EQ(normalizePath(L"", L"\\\\.\\C:\\x\\."), L"\\\\.\\C:\\x");
    EXPECT_EQ(normalizePath(L"C://base//", L"x/y"), L"\\\\?\\C:\\base\\x\\y");
    EXPECT_EQ(normalizePath(L"\\\\?\\C:\\base", L"..\\z"), L"\\\\?\\C:\\z");

    testsupport::ScratchTree tree;
    wchar_t old[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, old);
    ASSERT_TRUE(SetCurrentDirectoryW(tree.root().c_str()));
    std::wstring relative = normalizePath(L"", L"sub/./file");
    std::wstring up = normalizePath(L"", L"..\\other");
    SetCurrentDirectoryW(old);
    EXPECT_EQ(relative, L"\\\\?\\" + tree.root() + L"\\sub\\file");
    EXPECT_EQ(up, L"\\\\?\\" + tree.root().substr(0, tree.root().rfind(L'\\')) + L"\\other");
}

TEST(NormalPath, TrimDisplayAndParent) {
    EXPECT_EQ(trimmed(L"\\\\?\\C:\\a\\.\\"), L"\\\\?\\C:\\a");
    EXPECT_EQ(trimmed(L"\\"), L"\\");
    EXPECT_EQ(trimmed(L"a\\.."), L"a\\..");
    EXPECT_EQ(NormalPath(L"\\\\?\\C:\\a").display(), L"C:\\a");
    EXPECT_EQ(NormalPath(L"\\\\server\\s").display(), L"\\\\server\\s");
    EXPECT_EQ(NormalPath(L"\\\\?\\C:\\a\\b\\").parent().str(), L"\\\\?\\C:\\a");
    EXPECT_EQ(NormalPath(L"C:\\a").parent().str(), L"\\\\?\\C:\\");
    EXPECT_TRUE(NormalPath(L"\\\\?\\C:\\").parent().empty());
    EXPECT_TRUE(NormalPath(L"CONOUT$").parent().empty());
}

TEST(NormalPath, TheValueJoinsNamesAndFindsItsRoot) {
    NormalPath site(L"C:/inetpub//vhosts/site/");
    EXPECT_EQ(site.str(), L"\\\\?\\C:\\inetpub\\vhosts\\site");
    EXPECT_EQ(site.name(), L"site");
    EXPECT_EQ(site.join(L"a.txt").str(), L"\\\\?\\C:\\inetpub\\vhosts\\site\\a.txt");
    EXPECT_EQ(site.root().str(), L"\\\\?\\C:\\");
    EXPECT_EQ(site.root().join(L"Recycler").str(), L"\\\\?\\C:\\Recycler");
    EXPECT_EQ(site.components(), (std::vector<std::wstring>{L"C:", L"inetpub", L"vhosts", L"site"}));
    EXPECT_TRUE(site.root().isRootForm());
    EXPECT_EQ(site.root().name(), L"");
    NormalPath share(L"\\\\?\\UNC\\server\\share\\dir\\f");
    EXPECT_EQ(share.root().str(), L"\\\\?\\UNC\\server\\share\\");
    EXPECT_EQ(NormalPath(L"\\\\server\\share\\dir").root().str(), L"\\\\server\\share\\");
    // A value already in normal form is taken as it stands.
    EXPECT_EQ(NormalPath::fromNormal(L"\\\\?\\C:\\a\\..\\b").str(), L"\\\\?\\C:\\a\\..\\b");
}

TEST(NormalPath, ADriveRelativeInputIsInThatDrivesCurrentFolder) {
    testsupport::ScratchTree tree;
    wchar_t old[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, old);
    ASSERT_TRUE(SetCurrentDirectoryW(tree.root().c_str()));
    const std::wstring drive = tree.root().substr(0, 2);
    std::wstring here = normalizePath(L"", drive + L"sub\\f");
    std::wstring up = normalizePath(L"", drive + L"..\\x");
    SetCurrentDirectoryW(old);
    EXPECT_EQ(here, L"\\\\?\\" + tree.root() + L"\\sub\\f");
    EXPECT_EQ(up, L"\\\\?\\" + tree.root().substr(0, tree.root().rfind(L'\\')) + L"\\x");
    // Another drive without a current folder of its own: its root, as the system answers.
    wchar_t full[MAX_PATH] = {};
    ASSERT_GT(GetFullPathNameW(L"Q:name", MAX_PATH, full, nullptr), 0u);
    EXPECT_EQ(normalizePath(L"", L"Q:name"), L"\\\\?\\" + std::wstring(full));
}

TEST(PathPolicyWithin, ComponentBoundariesAndCase) {
    EXPECT_TRUE(isWithin(L"\\\\?\\C:\\A", L"\\\\?\\C:\\a"));
    EXPECT_TRUE(isWithin(L"\\\\?\\C:\\a", L"\\\\?\\C:\\a\\b"));
    EXPECT_TRUE(isWithin(L"C:\\inetpub\\vhosts\\", L"\\\\?\\c:\\INETPUB\\VHOSTS\\site\\f"));
    EXPECT_TRUE(isWithin(L"\\\\?\\C:\\", L"\\\\?\\C:\\anything"));
    EXPECT_FALSE(isWithin(L"\\\\?\\C:\\a", L"\\\\?\\C:\\ab"));
    EXPECT_FALSE(isWithin(L"\\\\?\\C:\\inetpub\\vhosts", L"\\\\?\\C:\\inetpub\\vhosts2"));
    EXPECT_FALSE(isWithin(L"\\\\?\\C:\\inetpub\\vhosts", L"\\\\?\\C:\\inetpub"));
    EXPECT_FALSE(isWithin(L"\\\\?\\C:\\inetpub\\vhosts", L"\\\\?\\D:\\inetpub\\vhosts"));
    EXPECT_FALSE(isWithin(L"\\\\?\\C:\\inetpub\\vhosts", L"\\\\?\\C:\\inetpub\\vhosts.\\x"));
    // Names the locale comparison may equate but the file system tells apart.
    // (a soft hyphen is ignored by the locale comparison wherever it stands).
    EXPECT_TRUE(text::equalNoCase(L"C:\\a\u00adb", L"C:\\ab\u00ad"));
    EXPECT_FALSE(isWithin(L"\\\\?\\C:\\a\u00adb", L"\\\\?\\C:\\ab\u00ad\\x"));
}

std::string reservedFailure(const std::wstring& input) {
    try {
        checkReservedNames(L"", input);
    } catch (const RunTime::InvalidPathException& e) {
        return e.what();
    }
    return "";
}

TEST(PathPolicyReserved, DeviceNamesInAnyComponent) {
    EXPECT_EQ(reservedFailure(L"C:\\w\\nul.txt"),
              "C:\\w\\nul.txt: contains reserved device names that cannot be used as the name of a file.");
    for (const wchar_t* refused :
         {L"C:\\w\\Con", L"C:\\lpt1.log.txt\\x", L"C:\\w\\COM1", L"c:/w/aux/", L"\\\\?\\C:\\w\\clock$.x",
          L"C:\\w\\com9.", L"C:\\w\\nul .txt", L"C:\\w\\prn:stream", L"\\\\server\\share\\LPT9\\f"})
        EXPECT_NE(reservedFailure(refused), "") << text::toUtf8(refused);
    for (const wchar_t* accepted : {L"C:\\w\\console", L"C:\\w\\com10", L"C:\\w\\lpt0.txt", L"C:\\w\\nul_x",
                                    L"C:\\w\\conin$", L"CONOUT$", L"conin$", L"C:\\w\\xcom1"})
        EXPECT_EQ(reservedFailure(accepted), "") << text::toUtf8(accepted);
}

TEST(PathPolicyRoots, ListsFromTheSettings) {
    testsupport::SubstitutePlatform substitute;
    substitute.setTempPath(L"C:\\systemp\\");
    testsupport::ScopedPlatform installed(substitute);
    testsupport::ScopedEnvironment tmp(L"tmp", L"C:\\t1/");
    testsupport::ScopedEnvironment temp(L"temp", std::nullopt);

    testsupport::FixedSettings settings;
    settings.strings = {{L"PRODUCT_ROOT_D", L"C:\\Tarnis\\\\"}, {L"PRODUCT_DATA_D", L"D:/data/"},
                        {L"HTTPD_VHOSTS_D", L"C:\\inetpub\\vhosts\\"}, {L"DUMP_D", L"E:\\dumps"}};
    settings.frontpage = L"C:/Program Files//Common/./FrontPage/bin/../";
    RootLists roots = buildRootLists(settings);
    EXPECT_EQ(configured(roots.allowed), (std::vector<std::wstring>{L"C:\\Tarnis", L"C:\\Tarnis\\tmp", L"D:/data\\var",
                                                          L"C:\\inetpub\\vhosts", L"E:\\dumps",
                                                          L"C:\\Program Files\\Common\\FrontPage", L"C:\\systemp",
                                                          L"C:\\t1"}));
    EXPECT_EQ(configured(roots.denied), std::vector<std::wstring>{L"C:\\Tarnis\\admin\\bin"});

    // Missing product and data directories allow nothing and deny nothing built on them.
    settings.strings = {{L"PRODUCT_ROOT_D", L""}, {L"PRODUCT_DATA_D", L"\\"}, {L"HTTPD_VHOSTS_D", L"C:\\v"}};
    settings.frontpage.clear();
    roots = buildRootLists(settings);
    EXPECT_EQ(configured(roots.allowed), (std::vector<std::wstring>{L"C:\\v", L"C:\\systemp", L"C:\\t1"}));
    EXPECT_TRUE(roots.denied.empty());
}

TEST(PathPolicyRoots, ComponentPathCanonicalForm) {
    EXPECT_EQ(canonicalPath(L"C:/a//b/./c/../d/"), L"C:\\a\\b\\d\\");
    EXPECT_EQ(canonicalPath(L"\\\\?\\C:\\a\\..\\b"), L"\\\\?\\C:\\b");
    EXPECT_EQ(canonicalPath(L"\\\\.\\C:\\x\\."), L"\\\\.\\C:\\x");
    EXPECT_EQ(canonicalPath(L"..\\..\\a\\..\\b"), L"..\\..\\b");
    EXPECT_EQ(canonicalPath(L"\\a\\b"), L"\\a\\b");
    EXPECT_EQ(canonicalPath(L"\\\\server\\share\\..\\x"), L"\\\\server\\x");
    EXPECT_EQ(canonicalPath(L""), L"");
}

} // namespace
