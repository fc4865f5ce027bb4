#include "app/Exceptions.h"
#include "app/Text.h"
#include "commands/PathPolicy.h"
#include "paths/LongPath.h"
#include "paths/PathSyntax.h"
#include "support/InProcess.h"
#include "support/PolicyFixtures.h"
#include "support/SubstitutePlatform.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace pathpolicy;
using namespace paths;
using testsupport::Call;

// A panel laid out in a scratch folder: product root (with admin\bin and tmp), a virtual-hosts
// root, a sibling that shares its name's beginning, and a folder outside every root. The data
// directory is configured but does not exist. The substitute answers long names as Windows does.
class PathPolicyCheck : public ::testing::Test {
protected:
    PathPolicyCheck() : installed(substitute), tmp(L"tmp", std::nullopt), temp(L"temp", std::nullopt) {
        tree.folder(L"product\\admin\\bin");
        tree.folder(L"product\\tmp");
        tree.file(L"vhosts\\site\\index.html");
        tree.folder(L"vhosts2");
        tree.file(L"outside\\secret.txt");
        tree.folder(L"systemp");
        substitute.setTempPath(tree.path(L"systemp\\"));
        settings.strings = {{L"PRODUCT_ROOT_D", tree.path(L"product")},
                            {L"PRODUCT_DATA_D", tree.path(L"data")},
                            {L"HTTPD_VHOSTS_D", tree.path(L"vhosts\\")}};
    }

    // "" when allowed, else the message of the refusal.
    std::string check(const std::wstring& input) {
        try {
            checkPathAllowed(buildRootLists(settings), input);
        } catch (const RunTime::NotAllowedException& e) {
            return text::toUtf8(e.message());
        } catch (const std::exception& e) {
            return std::string("other: ") + e.what();
        }
        return "";
    }
    std::string refusal(const std::wstring& displayed) { return text::toUtf8(displayed) + ": Path is not allowed"; }

    testsupport::ScratchTree tree;
    testsupport::SubstitutePlatform substitute;
    testsupport::ScopedPlatform installed;
    testsupport::ScopedEnvironment tmp, temp;
    testsupport::FixedSettings settings;
};

TEST_F(PathPolicyCheck, InsideTheRootsIsAllowed) {
    EXPECT_EQ(check(tree.path(L"vhosts")), "");
    EXPECT_EQ(check(tree.path(L"vhosts\\site\\index.html")), "");
    EXPECT_EQ(check(L"\\\\?\\" + tree.path(L"VHOSTS\\Site")), "");
    EXPECT_EQ(check(tree.path(L"product\\tmp\\upload.bin")), "");
    EXPECT_EQ(check(tree.path(L"product\\admin")), "");
    EXPECT_EQ(check(tree.path(L"systemp")), "");
    // A missing tail is judged by its nearest existing ancestor.
    EXPECT_EQ(check(tree.path(L"vhosts\\new-site\\deeper\\file.txt")), "");
    EXPECT_EQ(check(tree.path(L"outside\\..\\vhosts\\site")), "");
}

TEST_F(PathPolicyCheck, OutsideOrDeniedIsRefused) {
    EXPECT_EQ(check(tree.path(L"outside\\secret.txt")), refusal(tree.path(L"outside\\secret.txt")));
    EXPECT_EQ(check(tree.path(L"vhosts\\..\\outside")), refusal(tree.path(L"outside")));
    // Sharing the beginning of a root's name is not lying inside it.
    EXPECT_EQ(check(L"\\\\?\\" + tree.path(L"vhosts2")), refusal(tree.path(L"vhosts2")));
    EXPECT_EQ(check(tree.path(L"vhosts2\\new")), refusal(tree.path(L"vhosts2")));
    // The denied folder under the allowed product root, in any letter case, existing or not.
    for (const wchar_t* denied : {L"product\\admin\\bin", L"product\\ADMIN\\Bin\\", L"Product\\admin\\bin\\tool.exe"})
        EXPECT_NE(check(tree.path(denied)), "") << text::toUtf8(denied);
    // A configured root that does not exist yet holds what will be below it, but does not widen
    // to its existing parent; a denied root that does not exist refuses only what is below it.
    EXPECT_EQ(check(tree.path(L"data\\var\\x")), "");
    EXPECT_EQ(check(tree.path(L"data\\x")), refusal(tree.root()));
    EXPECT_EQ(check(tree.root()), refusal(tree.root()));
    settings.strings[L"PRODUCT_ROOT_D"] = tree.path(L"missing-product");
    EXPECT_EQ(check(tree.path(L"vhosts\\site")), "");
    settings.strings[L"HTTPD_VHOSTS_D"] = tree.root();
    EXPECT_EQ(check(tree.path(L"missing-product\\admin\\bin\\x")), refusal(tree.root()));
    EXPECT_EQ(check(tree.path(L"missing-product\\admin\\other")), "");
    // Forms taken as given that name other places.
    EXPECT_EQ(check(L"\\\\?\\" + tree.path(L"vhosts\\..\\outside")),
              refusal(tree.path(L"vhosts\\..\\outside")));
    EXPECT_EQ(check(L"\\\\?\\" + tree.path(L"vhosts\\.\\site")), refusal(tree.path(L"vhosts\\.\\site")));
    EXPECT_NE(check(L"\\\\.\\" + tree.path(L"vhosts\\site")), "");
    EXPECT_NE(check(L"\\\\server\\share\\vhosts"), "");
    EXPECT_EQ(check(L"CONOUT$"), refusal(L"CONOUT$"));
    EXPECT_EQ(check(L"C:\\.."), "other: Invalid input path () + (C:\\..)");
    EXPECT_EQ(check(tree.path(L"vhosts\\site\\nul.txt")),
              "other: " + text::toUtf8(tree.path(L"vhosts\\site\\nul.txt")) +
                  ": contains reserved device names that cannot be used as the name of a file.");
}

TEST_F(PathPolicyCheck, ShortNamesAreComparedByTheirLongNames) {
    substitute.addShortName(tree.path(L"vhosts"), tree.path(L"VHOSTS~1"));
    substitute.addShortName(tree.path(L"vhosts2"), tree.path(L"VHOSTS~2"));
    substitute.addShortName(tree.path(L"product"), tree.path(L"PRODUC~1"));
    substitute.addShortName(tree.path(L"product\\admin"), tree.path(L"product\\ADMIN~1"));
    EXPECT_EQ(check(tree.path(L"VHOSTS~1\\site")), "");
    EXPECT_EQ(check(tree.path(L"VHOSTS~2")), refusal(tree.path(L"vhosts2")));
    EXPECT_EQ(check(tree.path(L"PRODUC~1\\ADMIN~1\\bin\\x.exe")), refusal(tree.path(L"product\\admin\\bin")));
    // Roots configured in the short form hold and deny their long names as well.
    settings.strings[L"PRODUCT_ROOT_D"] = tree.path(L"PRODUC~1");
    settings.strings[L"HTTPD_VHOSTS_D"] = tree.path(L"VHOSTS~1");
    EXPECT_EQ(check(tree.path(L"vhosts\\site")), "");
    EXPECT_EQ(check(tree.path(L"product\\admin\\bin")), refusal(tree.path(L"product\\admin\\bin")));
    EXPECT_EQ(check(tree.path(L"product\\tmp")), "");
}

TEST_F(PathPolicyCheck, AccessDeniedLongPathIsRetriedWithinABound) {
    std::wstring site = L"\\\\?\\" + tree.path(L"vhosts\\site\\");
    substitute.failNext(Call::getLongPathName, site, ERROR_ACCESS_DENIED, 2);
    EXPECT_EQ(check(tree.path(L"vhosts\\site")), "");
    EXPECT_GE(substitute.calls(Call::findFirstFile), 2);

    substitute.failNext(Call::getLongPathName, site, ERROR_ACCESS_DENIED, 1000);
    int before = substitute.calls(Call::getLongPathName, site);
    std::string failure = check(tree.path(L"vhosts\\site"));
    EXPECT_EQ(failure.rfind("other: Unable to get a long path for allow path checking for the path (" +
                                text::toUtf8(tree.path(L"vhosts\\site\\")) + "): (5) ",
                            0),
              0u)
        << failure;
    EXPECT_LE(substitute.calls(Call::getLongPathName, site) - before, 6);
}

TEST_F(PathPolicyCheck, EmptyProductRootAllowsNothingUnderIt) {
    settings.strings[L"PRODUCT_ROOT_D"] = L"";
    EXPECT_EQ(check(tree.path(L"product\\tmp")), refusal(tree.path(L"product\\tmp")));
    EXPECT_EQ(check(tree.path(L"vhosts\\site")), "");
    // Nothing relative to the current directory slips in as a root.
    RootLists roots = buildRootLists(settings);
    for (const Root& root : roots.allowed) EXPECT_NE(root.configured.find(L':'), std::wstring::npos);
}

TEST_F(PathPolicyCheck, VolumeRootsAndAllowCheckPath) {
    EXPECT_TRUE(isVolumeRoot(L"C:"));
    EXPECT_TRUE(isVolumeRoot(L"\\\\?\\C:\\"));
    EXPECT_FALSE(isVolumeRoot(tree.root()));
    EXPECT_EQ(allowCheckPath(L"", L"C:\\"), L"\\\\?\\C:\\");
    EXPECT_EQ(allowCheckPath(L"", tree.path(L"vhosts\\missing\\x")), L"\\\\?\\" + tree.path(L"vhosts"));
    EXPECT_EQ(allowCheckPath(tree.root(), L"vhosts\\site\\."), L"\\\\?\\" + tree.path(L"vhosts\\site"));
}

TEST_F(PathPolicyCheck, StreamNamesAreInvalidPaths) {
    // NTFS opens "name::$INDEX_ALLOCATION" and "name:$I30:$INDEX_ALLOCATION" as the folder itself.
    for (const wchar_t* input :
         {L"product\\admin\\bin::$INDEX_ALLOCATION", L"product\\admin::$INDEX_ALLOCATION\\bin",
          L"product\\admin\\bin:$I30:$INDEX_ALLOCATION\\tool.exe", L"vhosts\\site:stream"}) {
        std::string answer = check(tree.path(input));
        EXPECT_EQ(answer, "other: " + text::toUtf8(tree.path(input)) +
                              ": contains a stream name that cannot be used as a path.")
            << text::toUtf8(input);
        EXPECT_THROW(checkPathAllowed(buildRootLists(settings), L"\\\\?\\" + tree.path(input)),
                     RunTime::InvalidPathException);
    }
    // The drive's own colon is no stream.
    EXPECT_EQ(check(L"\\\\?\\" + tree.path(L"vhosts\\site")), "");
}

TEST_F(PathPolicyCheck, DotComponentsSplitAtBothSeparators) {
    settings.strings[L"HTTPD_VHOSTS_D"] = L"\\\\server\\share\\vhosts";
    EXPECT_NE(check(L"\\\\server\\share\\vhosts\\sub/../../x"), "");
    EXPECT_NE(check(L"\\\\server\\share\\vhosts\\sub/./x"), "");
    EXPECT_NE(check(L"\\\\.\\" + tree.path(L"vhosts\\site/../../outside")), "");
}

TEST_F(PathPolicyCheck, AncestorsOfTheDeniedRootAreRefusedForChanges) {
    RootLists roots = buildRootLists(settings);
    auto changeAnswer = [&](const std::wstring& input) -> std::string {
        try {
            checkReach(roots, checkPathAllowed(roots, input), Reach::WholeTree);
        } catch (const RunTime::NotAllowedException& e) {
            return text::toUtf8(e.message());
        }
        return "";
    };
    for (const wchar_t* above : {L"product", L"PRODUCT\\", L"product\\admin", L"product\\Admin\\"}) {
        EXPECT_EQ(check(tree.path(above)), "") << "a query may read it: " << text::toUtf8(above);
        EXPECT_NE(changeAnswer(tree.path(above)), "") << text::toUtf8(above);
    }
    EXPECT_EQ(changeAnswer(tree.path(L"product")), refusal(tree.path(L"product")));
    // In its short spelling as well.
    substitute.addShortName(tree.path(L"product"), tree.path(L"PRODUC~1"));
    EXPECT_NE(changeAnswer(tree.path(L"PRODUC~1")), "");
    for (const wchar_t* beside :
         {L"product\\tmp", L"product\\tmp\\x", L"product\\admin2", L"vhosts\\site", L"product\\admin\\other"})
        EXPECT_EQ(changeAnswer(tree.path(beside)), "") << text::toUtf8(beside);
}

TEST_F(PathPolicyCheck, HostileRootValuesAreLeftOutWithAWarning) {
    testsupport::LogCapture log;
    for (std::wstring hostile :
         {std::wstring(L"\\\\?\\"), std::wstring(L"\\\\.\\"), std::wstring(L"relative\\vhosts"),
          std::wstring(L"\\inetpub"), std::wstring(L"C:inetpub"), std::wstring(L"C:\\..\\x"),
          L"\\\\?\\" + tree.path(L"vhosts\\..\\outside"), tree.path(L"vhosts:x"),
          tree.path(L"outside") + std::wstring(1, L'\0') + L"\\x"}) {
        settings.strings[L"DUMP_D"] = hostile;
        log.clear();
        RootLists roots = buildRootLists(settings);
        for (const Root& root : roots.allowed) {
            EXPECT_NE(root.configured, hostile);
            EXPECT_EQ(root.configured.find(L'\0'), std::wstring::npos);
        }
        ASSERT_EQ(log.events().size(), 1u) << text::toUtf8(hostile);
        EXPECT_EQ(log.events()[0].level, 1);
        EXPECT_NE(log.events()[0].message.find(L"DUMP_D"), std::wstring::npos);
    }
    // The folder before a NUL is not allowed either: the value is refused as a whole.
    settings.strings[L"DUMP_D"] = tree.path(L"outside") + std::wstring(1, L'\0') + L"x";
    EXPECT_NE(check(tree.path(L"outside\\secret.txt")), "");
    // Drive roots and shares configured on purpose stay.
    for (const wchar_t* fine :
         {L"D:\\", L"\\\\server\\share", L"\\\\?\\UNC\\server\\share\\x", L"\\\\?\\C:\\inetpub"}) {
        settings.strings[L"DUMP_D"] = fine;
        log.clear();
        RootLists roots = buildRootLists(settings);
        EXPECT_TRUE(log.events().empty()) << text::toUtf8(fine);
        EXPECT_EQ(roots.allowed[4].configured, std::wstring(fine) == L"D:\\" ? std::wstring(L"D:") : std::wstring(fine));
    }
    // A product root that is not usable takes its denied and tmp folders with it.
    settings.strings[L"PRODUCT_ROOT_D"] = L"product";
    RootLists roots = buildRootLists(settings);
    EXPECT_TRUE(roots.denied.empty());
    EXPECT_EQ(roots.allowed.size(), 4u); // data\var, vhosts, DUMP_D, the temporary directory
}

// Wine's own short names, read at run time: GetLongPathNameW leaves them as they are under Wine,
// while opening the path reaches the folder.
class PathPolicyWineShortNames : public ::testing::Test {
protected:
    PathPolicyWineShortNames() : scoped(settings), tmp(L"tmp", std::nullopt), temp(L"temp", std::nullopt) {
        tree.folder(L"Product Root Folder\\admin\\bin");
        tree.folder(L"Product Root Folder\\tmp");
        tree.file(L"Virtual Hosts Folder\\site\\index.html");
        settings.strings = {{L"PRODUCT_ROOT_D", tree.path(L"Product Root Folder")},
                            {L"HTTPD_VHOSTS_D", tree.path(L"Virtual Hosts Folder")}};
    }
    std::wstring shortName(const std::wstring& path) {
        wchar_t buffer[MAX_PATH] = {};
        DWORD n = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
        EXPECT_GT(n, 0u);
        std::wstring answer(buffer, n);
        EXPECT_NE(answer, path) << "Wine gives no short name for " << text::toUtf8(path);
        return answer;
    }
    std::string check(const std::wstring& input, bool change = false) {
        try {
            RootLists roots = buildRootLists(settings);
            CheckedPath checked = checkPathAllowed(roots, input);
            if (change) checkReach(roots, checked, Reach::WholeTree);
        } catch (const RunTime::NotAllowedException& e) {
            return text::toUtf8(e.message());
        }
        return "";
    }

    testsupport::ScratchTree tree{L"C:"};
    testsupport::FixedSettings settings;
    testsupport::ScopedSettings scoped;
    testsupport::ScopedEnvironment tmp, temp;
};

TEST_F(PathPolicyWineShortNames, ShortSpellingsOfTheDeniedRootAreRefused) {
    std::wstring product = shortName(tree.path(L"Product Root Folder"));
    std::wstring vhosts = shortName(tree.path(L"Virtual Hosts Folder"));
    // The short spelling opens the real folder.
    EXPECT_NE(GetFileAttributesW((product + L"\\admin\\bin").c_str()), INVALID_FILE_ATTRIBUTES);
    for (const std::wstring& input : {product + L"\\admin\\bin", product + L"\\admin\\bin\\tool.exe",
                                      L"\\\\?\\" + product + L"\\ADMIN\\bin\\"})
        EXPECT_NE(check(input), "") << text::toUtf8(input);
    EXPECT_EQ(check(vhosts + L"\\site\\index.html"), "");
    EXPECT_EQ(check(product + L"\\tmp\\new.txt"), "");
    // Above the denied root, for an operation that changes it.
    EXPECT_EQ(check(product), "");
    EXPECT_NE(check(product, true), "");
    EXPECT_NE(check(product + L"\\admin", true), "");
    // Roots configured by their short names protect and hold the real folders.
    settings.strings[L"PRODUCT_ROOT_D"] = product;
    settings.strings[L"HTTPD_VHOSTS_D"] = vhosts;
    EXPECT_NE(check(tree.path(L"Product Root Folder\\admin\\bin")), "");
    EXPECT_NE(check(tree.path(L"Product Root Folder"), true), "");
    EXPECT_EQ(check(tree.path(L"Product Root Folder\\tmp")), "");
    EXPECT_EQ(check(tree.path(L"Virtual Hosts Folder\\site")), "");
}

TEST_F(PathPolicyWineShortNames, StreamNamesOnRealFolders) {
    for (const wchar_t* input : {L"Product Root Folder\\admin\\bin::$INDEX_ALLOCATION",
                                 L"Product Root Folder\\admin:$I30:$INDEX_ALLOCATION\\bin"})
        EXPECT_THROW(checkPathAllowed(buildRootLists(settings), tree.path(input)),
                     RunTime::InvalidPathException);
}

} // namespace
