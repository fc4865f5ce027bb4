#include "app/Exceptions.h"
#include "app/Text.h"
#include "commands/PathPolicy.h"
#include "support/PolicyFixtures.h"
#include "support/SubstitutePlatform.h"

#include <gtest/gtest.h>

namespace {

using namespace pathpolicy;
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
    for (const std::wstring& root : roots.allowed) EXPECT_NE(root.find(L':'), std::wstring::npos);
}

TEST_F(PathPolicyCheck, VolumeRootsAndAllowCheckPath) {
    EXPECT_TRUE(isVolumeRoot(L"C:"));
    EXPECT_TRUE(isVolumeRoot(L"\\\\?\\C:\\"));
    EXPECT_FALSE(isVolumeRoot(tree.root()));
    EXPECT_EQ(allowCheckPath(L"", L"C:\\"), L"\\\\?\\C:\\");
    EXPECT_EQ(allowCheckPath(L"", tree.path(L"vhosts\\missing\\x")), L"\\\\?\\" + tree.path(L"vhosts"));
    EXPECT_EQ(allowCheckPath(tree.root(), L"vhosts\\site\\."), L"\\\\?\\" + tree.path(L"vhosts\\site"));
}

} // namespace
