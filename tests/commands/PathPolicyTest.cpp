// The checks the command skeletons make before any operation: the denied root's ancestors for
// operations that change a path, the -p cut of mkdir and rmdir, the touch reference, and the
// sub-path refusal in long form. A refused command leaves the tree as it was.
#include "app/Text.h"
#include "support/InProcess.h"
#include "support/PolicyFixtures.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using testsupport::runInProcess;

// Every entry below a folder with its size, for before/after comparisons.
std::set<std::wstring> snapshot(const std::wstring& folder) {
    std::set<std::wstring> entries;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return entries;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring path = folder + L"\\" + name;
        entries.insert(path + L" " + std::to_wstring(data.nFileSizeLow));
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) entries.merge(snapshot(path));
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return entries;
}

class ScopedCurrentDirectory {
public:
    explicit ScopedCurrentDirectory(const std::wstring& folder) {
        wchar_t buffer[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, buffer);
        old_ = buffer;
        SetCurrentDirectoryW(folder.c_str());
    }
    ~ScopedCurrentDirectory() { SetCurrentDirectoryW(old_.c_str()); }

private:
    std::wstring old_;
};

class PathChecks : public ::testing::Test {
protected:
    PathChecks() : scoped(settings), tmp(L"tmp", std::nullopt), temp(L"temp", std::nullopt) {
        tree.file(L"product\\admin\\bin\\tool.exe", "tool");
        tree.file(L"product\\tmp\\t.txt", "t");
        tree.file(L"virtual-hosts-folder\\site\\index.html", "<html/>");
        tree.file(L"outside\\secret.txt", "secret");
        settings.strings = {{L"PRODUCT_ROOT_D", tree.path(L"product")},
                            {L"HTTPD_VHOSTS_D", tree.path(L"virtual-hosts-folder")}};
    }
    // Runs the command, which the checks let through; its output.
    testsupport::InProcessResult passed(std::vector<std::wstring> arguments) {
        arguments.insert(arguments.begin(), L"ROOT");
        auto r = runInProcess(arguments);
        EXPECT_EQ(r.exitCode, 0) << r.out;
        return r;
    }
    // Runs the command and checks that the tree did not change.
    testsupport::InProcessResult refused(std::vector<std::wstring> arguments) {
        std::set<std::wstring> before = snapshot(tree.root());
        arguments.insert(arguments.begin(), L"ROOT");
        auto r = runInProcess(arguments);
        EXPECT_EQ(snapshot(tree.root()), before);
        return r;
    }
    // Runs a command that must pass its checks and succeed silently.
    bool accepted(std::vector<std::wstring> arguments) {
        arguments.insert(arguments.begin(), L"ROOT");
        auto r = runInProcess(arguments);
        EXPECT_EQ(r.out, "");
        return r.exitCode == 0;
    }
    std::string notAllowed(const std::wstring& relative) {
        return text::toUtf8(relative.empty() ? tree.root() : tree.path(relative)) + ": Path is not allowed";
    }
    std::string notAllowedDocument(const std::wstring& relative) {
        return "<XmlError Error=\"Path is not allowed.\" ErrorCode=\"path_is_not_allowed\" ErrorDetails=\"" +
               notAllowed(relative) + "\"/>\r\n";
    }
    std::wstring vhosts(const std::wstring& relative) {
        return tree.path(L"virtual-hosts-folder\\" + relative);
    }

    testsupport::ScratchTree tree{L"C:"};
    testsupport::FixedSettings settings;
    testsupport::ScopedSettings scoped;
    testsupport::ScopedEnvironment tmp, temp;
};

TEST_F(PathChecks, ChangesAboveTheDeniedRootAreRefused) {
    std::wstring product = tree.path(L"product"), admin = tree.path(L"product\\admin");
    for (auto args : std::vector<std::vector<std::wstring>>{{L"rm", L"-rf", admin},
                                                            {L"rm", vhosts(L"site\\index.html"), product},
                                                            {L"rmdir", product},
                                                            {L"mv", admin, vhosts(L"admin")},
                                                            {L"mv", vhosts(L"site"), product},
                                                            {L"cp", L"-r", vhosts(L"site"), admin},
                                                            {L"mv2tempnam", admin, vhosts(L"")}}) {
        auto r = refused(args);
        EXPECT_EQ(r.out.substr(r.out.size() - 21), ": Path is not allowed") << text::toUtf8(args[0]) << r.out;
        EXPECT_EQ(r.exitCode, 1);
    }
    EXPECT_EQ(refused({L"rm", product + L"\\"}).out, notAllowed(L"product"));
    EXPECT_EQ(refused({L"--ex-remove", L"--path=" + admin}).out, notAllowedDocument(L"product\\admin"));
    EXPECT_EQ(refused({L"--ex-rename", L"--old-name=" + product, L"--new-name=" + vhosts(L"p")}).out,
              notAllowedDocument(L"product"));
    EXPECT_EQ(refused({L"--ex-copy", L"--source=" + vhosts(L"site"), L"--destination=" + product}).out,
              notAllowedDocument(L"product"));
    EXPECT_EQ(refused({L"--permissions", L"--set-common", L"--file=" + admin, L"--xml=x.xml"}).out,
              notAllowed(L"product\\admin"));
    // The listing passes the checks and then asks the panel service, which this test does not run.
    EXPECT_EQ(refused({L"--permissions", L"--list", L"--file=" + admin}).out,
              "File not found. (Error code 2) at Unable to connect to pipe \\\\.\\pipe\\tnapipe");
    // Copying one of them out as a whole tree would carry the denied root along.
    EXPECT_EQ(refused({L"cp", L"-r", product, vhosts(L"copy")}).out, notAllowed(L"product"));
    EXPECT_EQ(refused({L"--ex-copy", L"--source=" + admin, L"--destination=" + vhosts(L"copy")}).out,
              notAllowedDocument(L"product\\admin"));
    // Reading a file there, and changing beside the denied root, passes the checks.
    EXPECT_TRUE(accepted({L"cp", tree.path(L"product\\tmp\\t.txt"), vhosts(L"t.txt")}));
    EXPECT_EQ(GetFileAttributesW(vhosts(L"t.txt").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_TRUE(accepted({L"rm", tree.path(L"product\\tmp\\t.txt")}));
    EXPECT_EQ(GetFileAttributesW(tree.path(L"product\\tmp\\t.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(PathChecks, NoRootIsEverRemovedMovedOrRewrittenBelow) {
    wchar_t buffer[MAX_PATH] = {};
    DWORD n = GetShortPathNameW(tree.path(L"virtual-hosts-folder").c_str(), buffer, MAX_PATH);
    ASSERT_GT(n, 0u);
    const std::wstring shortVhosts(buffer, n);
    std::wstring upper = vhosts(L"");
    upper.pop_back();
    for (wchar_t& c : upper) c = towupper(c);
    // Every spelling of the virtual-hosts root, the product's tmp root and a folder holding roots.
    const std::vector<std::wstring> spellings = {vhosts(L""), upper, L"\\\\?\\" + tree.path(L"virtual-hosts-folder"),
                                                 shortVhosts, vhosts(L"site\\.."), tree.path(L"product\\tmp"),
                                                 tree.path(L"product\\tmp\\"), tree.root()};
    for (const std::wstring& root : spellings) {
        for (auto args : std::vector<std::vector<std::wstring>>{{L"rm", L"-rf", root},
                                                                {L"rmdir", root},
                                                                {L"mv", root, vhosts(L"site\\moved")},
                                                                {L"mv2tempnam", root, vhosts(L"site")}}) {
            auto r = refused(args);
            EXPECT_EQ(r.exitCode, 1) << text::toUtf8(args[0] + L" " + root);
            EXPECT_NE(r.out.find(": Path is not allowed"), std::string::npos) << text::toUtf8(root) << r.out;
        }
        for (auto args : std::vector<std::vector<std::wstring>>{
                 {L"--ex-remove", L"--path=" + root},
                 {L"--ex-rename", L"--old-name=" + root, L"--new-name=" + vhosts(L"site\\moved")}}) {
            auto r = refused(args);
            EXPECT_EQ(r.exitCode, 0);
            EXPECT_NE(r.out.find("ErrorCode=\"path_is_not_allowed\""), std::string::npos) << r.out;
        }
        auto r = refused({L"--permissions", L"--set-advanced", L"--file=" + root, L"--xml=" + vhosts(L"x.xml"),
                          L"--replace-on-children"});
        EXPECT_NE(r.out.find(": Path is not allowed"), std::string::npos) << r.out;
    }
    // The message names the root in its long form.
    EXPECT_EQ(refused({L"rm", L"-r", shortVhosts}).out, notAllowed(L"virtual-hosts-folder"));
    // Creating in a root, copying into it, listing and reading it stay allowed.
    EXPECT_TRUE(accepted({L"cp", vhosts(L"site\\index.html"), shortVhosts + L"\\index.html"}));
    EXPECT_NE(GetFileAttributesW(vhosts(L"index.html").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(accepted({L"cp", L"-r", vhosts(L"site"), vhosts(L"copy")}));
    EXPECT_TRUE(accepted({L"mkdir", vhosts(L"new")}));
    EXPECT_NE(passed({L"list", L"dirs", upper}).out.find("site\t"), std::string::npos);
    EXPECT_EQ(passed({L"file_exists", vhosts(L"")}).out, "0\n");
    // A folder inside a root is an ordinary target.
    EXPECT_TRUE(accepted({L"rm", L"-r", vhosts(L"copy")}));
    EXPECT_EQ(GetFileAttributesW(vhosts(L"copy").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(PathChecks, WildcardsMakeAnInputInvalid) {
    tree.file(L"virtual-hosts-folder\\sibling\\secret.txt", "s");
    for (const wchar_t* pattern : {L"si*", L"sit?", L"s<", L"site>", L"\"site\""}) {
        const std::wstring input = vhosts(pattern);
        auto r = refused({L"rm", L"-r", input});
        EXPECT_EQ(r.exitCode, 1) << text::toUtf8(input);
        EXPECT_NE(r.out.find("contains wildcard characters"), std::string::npos) << r.out;
        r = refused({L"--tree", L"--path=" + input});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out.find("secret.txt"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("index.html"), std::string::npos) << r.out;
    }
    auto r = refused({L"--ex-remove", L"--path=" + vhosts(L"site\\*.html")});
    EXPECT_NE(r.out.find("ErrorCode=\"path_is_invalid\""), std::string::npos) << r.out;
}

TEST_F(PathChecks, ADriveRelativeInputIsTakenInThatDrivesCurrentFolder) {
    ScopedCurrentDirectory in(vhosts(L"site"));
    const std::wstring drive = tree.root().substr(0, 2);
    EXPECT_EQ(passed({L"file_exists", drive + L"index.html"}).out, "0\n");
    EXPECT_EQ(passed({L"file_exists", drive + L"missing.html"}).out, "1\n");
    EXPECT_TRUE(accepted({L"touch", drive + L"index.html"}));
    // Judged where it lies: the same place by its absolute name is outside the roots.
    ScopedCurrentDirectory out(tree.path(L"outside"));
    auto r = refused({L"rm", drive + L"secret.txt"});
    EXPECT_EQ(r.out, notAllowed(L"outside\\secret.txt"));
}

TEST_F(PathChecks, TheCutOfParentsIsChecked) {
    // An absolute argument cuts to its drive.
    for (const wchar_t* command : {L"rmdir", L"mkdir"}) {
        auto r = refused({command, L"-p", vhosts(L"site\\new")});
        EXPECT_EQ(r.out, text::toUtf8(tree.root().substr(0, 2)) + "\\: Path is not allowed") << r.out;
        EXPECT_EQ(r.exitCode, 1);
    }
    // A relative one to a folder of the current directory, which may lie outside the roots.
    {
        ScopedCurrentDirectory in(tree.path(L"outside"));
        EXPECT_EQ(refused({L"rmdir", L"-p", L"../virtual-hosts-folder/site"}).out, notAllowed(L""));
        EXPECT_EQ(refused({L"mkdir", L"-p", L"..\\virtual-hosts-folder\\new"}).out, notAllowed(L""));
    }
    {
        // rmdir -p removes the cut: above the denied root it is refused.
        ScopedCurrentDirectory in(tree.root());
        EXPECT_EQ(refused({L"rmdir", L"-p", L"product/tmp/sub"}).out, notAllowed(L"product"));
    }
    ScopedCurrentDirectory in(tree.path(L"virtual-hosts-folder"));
    EXPECT_TRUE(accepted({L"mkdir", L"-p", L"new/a/b"}));
    EXPECT_NE(GetFileAttributesW(vhosts(L"new\\a\\b").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST_F(PathChecks, TouchReferenceIsCheckedBeforeItsExistence) {
    std::wstring target = vhosts(L"site\\index.html");
    // Outside the roots, existing or not, the answer is the same refusal.
    auto r = refused({L"touch", L"-r", tree.path(L"outside\\secret.txt"), target});
    EXPECT_EQ(r.out, notAllowed(L"outside\\secret.txt"));
    EXPECT_EQ(r.exitCode, 1);
    r = refused({L"touch", L"-r", tree.path(L"outside\\missing.txt"), target});
    EXPECT_NE(r.out.find(": Path is not allowed"), std::string::npos) << r.out;
    r = refused({L"touch", L"-r", vhosts(L"missing.txt"), target});
    EXPECT_EQ(r.out, "The reference (" + text::toUtf8(vhosts(L"missing.txt")) + ") is not exist");
    EXPECT_TRUE(accepted({L"touch", L"--reference=" + target, target}));
}

TEST_F(PathChecks, SubPathRefusalComparesLongForms) {
    wchar_t buffer[MAX_PATH] = {};
    DWORD n = GetShortPathNameW(vhosts(L"site").c_str(), buffer, MAX_PATH);
    ASSERT_GT(n, 0u);
    std::wstring shortSite(buffer, n);
    ASSERT_NE(shortSite, vhosts(L"site"));
    for (const wchar_t* command : {L"cp", L"mv"}) {
        auto r = refused({command, shortSite, vhosts(L"site\\inner")});
        EXPECT_EQ(r.out.rfind("Unable to copy from " + text::toUtf8(shortSite) + " to " +
                                  text::toUtf8(vhosts(L"site\\inner")) +
                                  ". The destination is sub path of the source path.: (161) ",
                              0),
                  0u)
            << r.out;
        EXPECT_EQ(r.exitCode, 1);
    }
    auto r = refused({L"--ex-copy", L"--source=" + shortSite, L"--destination=" + vhosts(L"site\\inner")});
    EXPECT_NE(r.out.find("ErrorCode=\"path_is_invalid\""), std::string::npos) << r.out;
}

} // namespace
