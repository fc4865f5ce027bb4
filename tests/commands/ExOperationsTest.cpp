#include "app/Text.h"
#include "support/FileFixtures.h"
#include "support/XmlOutline.h"

#include <gtest/gtest.h>

namespace {

using testsupport::Call;
using testsupport::snapshot;
using testsupport::TreeSnapshot;
using testsupport::xmlOutline;

class ExOperations : public testsupport::FileCommandTest {
protected:
    // The outline of the XmlError document, or a failure when the output is none.
    std::string errorCodeOf(const testsupport::InProcessResult& r) {
        auto outline = xmlOutline(r.out);
        if (outline.empty() || outline[0].name != "XmlError") return "(no document) " + r.out;
        for (auto& [name, value] : outline[0].attributes)
            if (name == "ErrorCode") return value;
        return "(no code)";
    }
};

FILETIME lastWrite(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

void setLastWrite(const std::wstring& path, ULONGLONG value) {
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    FILETIME t{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
    SetFileTime(h, nullptr, nullptr, &t);
    CloseHandle(h);
}

ULONGLONG ticks(FILETIME t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

TEST_F(ExOperations, CopyOverwritesAFileAndMergesAFolder) {
    tree.file(L"vhosts\\a.txt", "new");
    tree.file(L"vhosts\\b.txt", "old");
    tree.file(L"vhosts\\src\\x.txt", "x");
    tree.file(L"vhosts\\src\\sub\\y.txt", "y");
    tree.file(L"vhosts\\dst\\keep.txt", "k");
    tree.file(L"vhosts\\dst\\x.txt", "stale");
    auto r = run({L"--ex-copy", L"--source=" + site(L"a.txt"), L"--destination=" + site(L"b.txt")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    r = run({L"--ex-copy", L"--source=" + site(L"src"), L"--destination=" + site(L"dst")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(snapshot(site(L"")), (TreeSnapshot{{L"a.txt", "new"},
                                                 {L"b.txt", "new"},
                                                 {L"src", "<dir>"},
                                                 {L"src\\x.txt", "x"},
                                                 {L"src\\sub", "<dir>"},
                                                 {L"src\\sub\\y.txt", "y"},
                                                 {L"dst", "<dir>"},
                                                 {L"dst\\keep.txt", "k"},
                                                 {L"dst\\x.txt", "x"},
                                                 {L"dst\\sub", "<dir>"},
                                                 {L"dst\\sub\\y.txt", "y"}}));
}

TEST_F(ExOperations, CopyIntoItselfIsAnInvalidPathAndCopiesNothing) {
    tree.file(L"vhosts\\src\\x.txt", "x");
    auto before = snapshot(tree.root());
    auto r = run({L"--ex-copy", L"--source=" + site(L"src"), L"--destination=" + site(L"src\\inner")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(errorCodeOf(r), "path_is_invalid");
    EXPECT_NE(r.out.find("The destination is sub path of the source path."), std::string::npos) << r.out;
    EXPECT_EQ(snapshot(tree.root()), before);
}

TEST_F(ExOperations, RenameReplacesAFileAndMovesAFolder) {
    tree.file(L"vhosts\\a.txt", "a");
    tree.file(L"vhosts\\b.txt", "b");
    tree.file(L"vhosts\\dir\\f.txt", "f");
    auto r = run({L"--ex-rename", L"--old-name=" + site(L"a.txt"), L"--new-name=" + site(L"b.txt")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    r = run({L"--ex-rename", L"--old-name=" + site(L"dir"), L"--new-name=" + site(L"moved")});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(snapshot(site(L"")),
              (TreeSnapshot{{L"b.txt", "a"}, {L"moved", "<dir>"}, {L"moved\\f.txt", "f"}}));
}

TEST_F(ExOperations, RemoveTakesFilesAndTreesAndLeavesAJunctionsTarget) {
    tree.file(L"vhosts\\dir\\sub\\f.txt", "f");
    tree.file(L"vhosts\\single.txt", "s");
    tree.file(L"vhosts\\target\\data.txt", "data");
    substitute.addJunction(site(L"link"), site(L"target"));
    size_t trash = testsupport::trashEntries();
    for (const wchar_t* name : {L"dir", L"single.txt", L"link", L"missing"}) {
        auto r = run({L"--ex-remove", L"--path=" + site(name)});
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out, "") << text::toUtf8(name);
    }
    EXPECT_EQ(snapshot(site(L"")), (TreeSnapshot{{L"target", "<dir>"}, {L"target\\data.txt", "data"}}));
    EXPECT_EQ(testsupport::trashEntries(), trash);
}

TEST_F(ExOperations, RemoveOutsideTheRootsIsRefusedWithADocument) {
    tree.file(L"outside\\secret.txt", "s");
    auto before = snapshot(tree.root());
    auto r = run({L"--ex-remove", L"--path=" + tree.path(L"outside")});
    EXPECT_EQ(r.exitCode, 0);
    auto outline = xmlOutline(r.out);
    ASSERT_EQ(outline.size(), 1u) << r.out;
    EXPECT_EQ(outline[0].name, "XmlError");
    EXPECT_EQ(outline[0].attributes,
              (testsupport::XmlAttributes{{"Error", "Path is not allowed."},
                                          {"ErrorCode", "path_is_not_allowed"},
                                          {"ErrorDetails", text::toUtf8(tree.path(L"outside")) + ": Path is not allowed"}}));
    EXPECT_EQ(snapshot(tree.root()), before);
}

TEST_F(ExOperations, FailuresOfTheOperationBecomeDocuments) {
    std::wstring file = tree.file(L"vhosts\\locked.txt", "l");
    substitute.failNext(Call::moveFile, file, ERROR_SHARING_VIOLATION, 1000);
    substitute.failNext(Call::deleteFile, file, ERROR_SHARING_VIOLATION, 1000);
    auto r = run({L"--ex-remove", L"--path=" + file});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(errorCodeOf(r), "sharing_violation");
    EXPECT_EQ(snapshot(site(L"")), (TreeSnapshot{{L"locked.txt", "l"}}));
    r = run({L"--ex-rename", L"--old-name=" + site(L"none.txt"), L"--new-name=" + site(L"other.txt")});
    EXPECT_EQ(errorCodeOf(r), "path_not_found");
}

TEST_F(ExOperations, CreateDirectoryMakesEveryLevelAndAcceptsAnExistingOne) {
    tree.folder(L"vhosts\\a");
    auto r = run({L"--ex-create-directory", L"--path=" + site(L"a\\b\\c\\d")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    r = run({L"--ex-create-directory", L"--path=" + site(L"a\\b")});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(snapshot(site(L"")), (TreeSnapshot{{L"a", "<dir>"},
                                                 {L"a\\b", "<dir>"},
                                                 {L"a\\b\\c", "<dir>"},
                                                 {L"a\\b\\c\\d", "<dir>"}}));
    tree.file(L"vhosts\\f.txt", "f");
    r = run({L"--ex-create-directory", L"--path=" + site(L"f.txt")});
    EXPECT_NE(errorCodeOf(r), "(no document) ");
}

TEST_F(ExOperations, TouchSetsTheLastWriteTimeOfFoldersAndNeverCreates) {
    std::wstring folder = tree.folder(L"vhosts\\dir");
    std::wstring file = tree.file(L"vhosts\\f.txt", "f");
    const ULONGLONG old = 116444736000000000ULL; // 1970-01-01
    setLastWrite(folder, old);
    setLastWrite(file, old);
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    for (const std::wstring& path : {folder, file}) {
        auto r = run({L"--ex-touch", L"--path=" + path});
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out, "");
        EXPECT_GE(ticks(lastWrite(path)) + 20000000ULL, ticks(now)) << text::toUtf8(path);
    }
    auto r = run({L"--ex-touch", L"--path=" + site(L"missing.txt")});
    EXPECT_EQ(errorCodeOf(r), "path_not_found");
    EXPECT_FALSE(testsupport::snapshot(site(L"")).count(L"missing.txt"));
}

TEST_F(ExOperations, ParametersAreExactlyTheRequiredOnes) {
    auto r = run({L"--ex-remove"});
    EXPECT_EQ(r.exitCode, 1);
    r = run({L"--ex-copy", L"--source=" + site(L"a")});
    EXPECT_EQ(r.exitCode, 1);
    r = run({L"--ex-remove", L"--path=" + site(L"a"), L"--recursive"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(xmlOutline(r.out).size(), 0u);
}

} // namespace
