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
    EXPECT_TRUE(accepted({L"rm", tree.path(L"product\\tmp")}));
    EXPECT_EQ(GetFileAttributesW(tree.path(L"product\\tmp").c_str()), INVALID_FILE_ATTRIBUTES);
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
        EXPECT_EQ(refused({L"rmdir", L"-p", L"product/tmp"}).out, notAllowed(L"product"));
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
