#include "app/Text.h"
#include "commands/files/RemovePath.h"
#include "support/FileFixtures.h"

#include <gtest/gtest.h>

namespace {

using testsupport::Call;
using testsupport::snapshot;
using testsupport::TreeSnapshot;

std::string u8(const std::wstring& s) { return text::toUtf8(s); }

class RemoveCommand : public testsupport::FileCommandTest {};

// Relative paths of rmdir -p and mkdir -p are taken from the current directory.
class DirectoryCommands : public testsupport::FileCommandTest {
protected:
    DirectoryCommands() {
        wchar_t old[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, old);
        old_ = old;
        SetCurrentDirectoryW(site(L"").c_str());
    }
    ~DirectoryCommands() override { SetCurrentDirectoryW(old_.c_str()); }

private:
    std::wstring old_;
};

TEST_F(RemoveCommand, RemovesFilesAndWholeDirectoriesWhateverTheOptions) {
    for (const wchar_t* option : {L"", L"-r", L"-R", L"-f", L"-d", L"--recursive", L"--force", L"--directory"}) {
        tree.file(L"vhosts\\dir\\a.txt", "a");
        tree.file(L"vhosts\\dir\\sub\\deeper\\b.txt", "b");
        tree.folder(L"vhosts\\dir\\empty");
        tree.file(L"vhosts\\single.txt", "s");
        size_t trash = testsupport::trashEntries();
        std::vector<std::wstring> args{L"rm"};
        if (*option) args.push_back(option);
        args.insert(args.end(), {site(L"dir"), site(L"missing"), site(L"single.txt")});
        auto r = run(args);
        EXPECT_EQ(r.exitCode, 0) << r.out;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(snapshot(site(L"")), TreeSnapshot{}) << text::toUtf8(option);
        EXPECT_EQ(testsupport::trashEntries(), trash);
    }
}

TEST_F(RemoveCommand, JunctionIsRemovedAsItselfItsTargetStays) {
    tree.file(L"vhosts\\target\\data.txt", "data");
    tree.file(L"vhosts\\tree\\f.txt", "f");
    substitute.addJunction(site(L"tree\\link"), site(L"target"));
    substitute.addJunction(site(L"top"), site(L"target"));
    auto r = run({L"rm", site(L"top")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    r = run({L"rm", L"-r", site(L"tree")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(snapshot(site(L"")), (TreeSnapshot{{L"target", "<dir>"}, {L"target\\data.txt", "data"}}));
}

TEST_F(RemoveCommand, ReadOnlyFilesLeaveNothingInTheTrash) {
    std::wstring file = tree.file(L"vhosts\\dir\\ro.txt", "r");
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
    size_t trash = testsupport::trashEntries();
    auto r = run({L"rm", site(L"dir")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(snapshot(site(L"")), TreeSnapshot{});
    EXPECT_EQ(testsupport::trashEntries(), trash);
}

TEST_F(RemoveCommand, AnItemThatCannotBeDeletedInTheTrashGoesBack) {
    tree.file(L"vhosts\\dir\\keep.txt", "k");
    // The deletion inside the trash is refused every time; in place too.
    substitute.failNext(Call::deleteFile, L"", ERROR_SHARING_VIOLATION, 1000);
    size_t trash = testsupport::trashEntries();
    auto r = run({L"rm", site(L"dir")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("Unable to remove path (" + u8(site(L"dir\\keep.txt")) + "): (32) ", 0), 0u) << r.out;
    EXPECT_EQ(snapshot(site(L"")), (TreeSnapshot{{L"dir", "<dir>"}, {L"dir\\keep.txt", "k"}}));
    EXPECT_EQ(testsupport::trashEntries(), trash);
}

TEST_F(RemoveCommand, AccessDeniedInTheTrashFallsBackToDeletingInPlace) {
    std::wstring file = tree.file(L"vhosts\\f.txt", "f");
    substitute.failNext(Call::moveFile, file, ERROR_ACCESS_DENIED, 1000);
    substitute.failNext(Call::deleteFile, file, ERROR_ACCESS_DENIED, 1);
    auto r = run({L"rm", file});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(snapshot(site(L"")), TreeSnapshot{});
    EXPECT_EQ(substitute.calls(Call::deleteFile, file), 2);
}

TEST_F(RemoveCommand, AnyFailureClassInTheTrashBringsTheTreeBack) {
    tree.file(L"vhosts\\dir\\f.txt", "f");
    size_t trash = testsupport::trashEntries();
    // Deleting in the trash is refused, and taking the file fails with an OS error of another
    // family than the run-time errors (the owner is refused): nothing may stay in the trash.
    substitute.failNext(Call::deleteFile, L"", ERROR_ACCESS_DENIED, 1);
    substitute.failNext(Call::setNamedSecurityInfo, L"", ERROR_INVALID_OWNER, 1);
    auto r = run({L"rm", site(L"dir")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(snapshot(site(L"")), TreeSnapshot{});
    EXPECT_EQ(testsupport::trashEntries(), trash);
}

TEST_F(RemoveCommand, ReadOnlyIsClearedEvenWhenTheGrantIsRefused) {
    std::wstring file = tree.file(L"vhosts\\f.txt", "f");
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
    // No trash, so the file is deleted in place; taking it is refused.
    substitute.failNext(Call::setNamedSecurityInfo, L"", ERROR_ACCESS_DENIED, 100);
    substitute.failNext(Call::deleteFile, file, ERROR_ACCESS_DENIED, 1);
    files::removePath(paths::NormalPath(file), {}, 2);
    EXPECT_EQ(snapshot(site(L"")), TreeSnapshot{});
}

TEST_F(RemoveCommand, RefusedPathsChangeNothing) {
    tree.file(L"outside\\secret.txt", "s");
    tree.file(L"vhosts\\a.txt", "a");
    auto before = snapshot(tree.root());
    auto r = run({L"rm", site(L"a.txt"), tree.path(L"outside\\secret.txt")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Path is not allowed"), std::string::npos) << r.out;
    EXPECT_EQ(snapshot(tree.root()), before);
    r = run({L"rm"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("Usage:\nrm [keys] file\n", 0), 0u);
}

TEST_F(DirectoryCommands, RmdirRemovesContentsAndWithPTheFirstComponent) {
    tree.file(L"vhosts\\a\\b\\c\\f.txt", "f");
    tree.file(L"vhosts\\a\\other.txt", "o");
    auto r = run({L"rmdir", L"-p", L"a/b/c"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(snapshot(site(L"")), TreeSnapshot{});

    tree.file(L"vhosts\\x\\y\\f.txt", "f");
    r = run({L"rmdir", site(L"x")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(snapshot(site(L"")), TreeSnapshot{});
}

TEST_F(DirectoryCommands, RmdirOfAFileOrAMissingPathIsRefused) {
    std::wstring file = tree.file(L"vhosts\\f.txt", "f");
    auto before = snapshot(tree.root());
    auto r = run({L"rmdir", file});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "The (" + u8(file) + ") is not directory");
    r = run({L"rmdir", L"-p", L"f.txt/x"});
    EXPECT_EQ(r.out, "The (" + u8(file) + ") is not directory");
    r = run({L"rmdir", site(L"none")});
    EXPECT_EQ(r.out, "The (" + u8(site(L"none")) + ") is not directory");
    EXPECT_EQ(snapshot(tree.root()), before);
}

TEST_F(DirectoryCommands, RmdirOfAJunctionLeavesItsTarget) {
    tree.file(L"vhosts\\target\\data.txt", "data");
    substitute.addJunction(site(L"link"), site(L"target"));
    auto r = run({L"rmdir", site(L"link")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(snapshot(site(L"")), (TreeSnapshot{{L"target", "<dir>"}, {L"target\\data.txt", "data"}}));
}

TEST_F(DirectoryCommands, MkdirMakesOneOrAWholeNewHierarchy) {
    auto r = run({L"mkdir", site(L"one")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    r = run({L"mkdir", L"-p", L"a/b/c"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    r = run({L"mkdir", L"-m", L"755", site(L"two")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(snapshot(site(L"")), (TreeSnapshot{{L"one", "<dir>"},
                                                 {L"two", "<dir>"},
                                                 {L"a", "<dir>"},
                                                 {L"a\\b", "<dir>"},
                                                 {L"a\\b\\c", "<dir>"}}));
}

TEST_F(DirectoryCommands, MkdirRefusesWhatExists) {
    tree.folder(L"vhosts\\a");
    auto before = snapshot(tree.root());
    auto r = run({L"mkdir", L"-p", L"a/b/c"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "The (a/b/c) is already exist");
    r = run({L"mkdir", site(L"a")});
    EXPECT_EQ(r.out, "The (" + u8(site(L"a")) + ") is already exist");
    r = run({L"mkdir", tree.path(L"outside\\new")});
    EXPECT_NE(r.out.find("Path is not allowed"), std::string::npos);
    r = run({L"mkdir", site(L"a"), site(L"b")});
    EXPECT_EQ(r.out, "Usage:\nmkdir [-p] directory ...\n");
    EXPECT_EQ(snapshot(tree.root()), before);
}

} // namespace
