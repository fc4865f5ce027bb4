// Moves and copies between drive C: and drive Q:, a tmpfs (another file system): the rename is
// refused by the real file system and the copy-then-remove path runs for real.
#include "app/Text.h"
#include "support/FileFixtures.h"

#include <gtest/gtest.h>

namespace {

using testsupport::Call;
using testsupport::snapshot;
using testsupport::TreeSnapshot;

class CrossVolume : public testsupport::FileCommandTest {
protected:
    CrossVolume() { settings.strings[L"DUMP_D"] = other.root(); }
    std::wstring remote(const std::wstring& relative) const { return other.path(relative); }

    testsupport::ScratchTree other{L"Q:"};
};

const TreeSnapshot kSource{{L"top.txt", "top"},       {L"a", "<dir>"},           {L"a\\one.txt", "one"},
                           {L"a\\b", "<dir>"},        {L"a\\b\\two.txt", "two"}, {L"empty", "<dir>"},
                           {L"binary.bin", std::string("\0\x1A\r\n", 4)}};

void make(const testsupport::ScratchTree& tree, const std::wstring& base) {
    for (const auto& [path, content] : kSource)
        content == "<dir>" ? (void)tree.folder(base + L"\\" + path) : (void)tree.file(base + L"\\" + path, content);
}

TEST_F(CrossVolume, RenameIsRefusedForReal) {
    tree.folder(L"vhosts\\src");
    EXPECT_FALSE(MoveFileExW(site(L"src").c_str(), remote(L"dst").c_str(), 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_SAME_DEVICE));
}

TEST_F(CrossVolume, DirectoryMovesThroughCopyThenRemove) {
    make(tree, L"vhosts\\src");
    size_t trash = testsupport::trashEntries();
    auto r = run({L"mv", site(L"src"), remote(L"dst")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(snapshot(remote(L"dst")), kSource);
    EXPECT_EQ(snapshot(site(L"")), TreeSnapshot{});
    EXPECT_EQ(testsupport::trashEntries(), trash);

    // And back, into a destination that exists: merged.
    tree.file(L"vhosts\\back\\mine.txt", "mine");
    r = run({L"mv", remote(L"dst"), site(L"back")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    TreeSnapshot merged = kSource;
    merged[L"mine.txt"] = "mine";
    EXPECT_EQ(snapshot(site(L"back")), merged);
    EXPECT_EQ(snapshot(remote(L"")), TreeSnapshot{});
}

TEST_F(CrossVolume, AFileWrittenIntoTheSourceDuringTheMoveSurvives) {
    make(tree, L"vhosts\\src");
    size_t trash = testsupport::trashEntries();
    substitute.onNext(Call::copyFile, site(L"src\\a\\b\\two.txt"),
                      [&] { tree.file(L"vhosts\\src\\a\\upload.tmp", "upload"); });
    auto r = run({L"mv", site(L"src"), remote(L"dst")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Unable to remove path (" + text::toUtf8(site(L"src\\a"))), std::string::npos) << r.out;
    EXPECT_EQ(snapshot(remote(L"dst")), kSource);
    EXPECT_EQ(snapshot(site(L"src")), (TreeSnapshot{{L"a", "<dir>"}, {L"a\\upload.tmp", "upload"}}));
    EXPECT_EQ(testsupport::trashEntries(), trash);

    // The XML move reports it in its error document.
    make(tree, L"vhosts\\xml");
    substitute.onNext(Call::copyFile, site(L"xml\\top.txt"), [&] { tree.file(L"vhosts\\xml\\new.txt", "new"); });
    r = run({L"--ex-rename", L"--old-name=" + site(L"xml"), L"--new-name=" + remote(L"xml")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("entries arrived in it during the move"), std::string::npos) << r.out;
    EXPECT_EQ(snapshot(remote(L"xml")), kSource);
    EXPECT_EQ(snapshot(site(L"xml")), (TreeSnapshot{{L"new.txt", "new"}}));
}

TEST_F(CrossVolume, CaseTwinsFailTheMoveAndTheSourceStaysWhole) {
    make(tree, L"vhosts\\src");
    substitute.addCaseTwin(site(L"src\\a\\one.txt"), L"ONE.TXT");
    auto before = snapshot(tree.root());
    auto r = run({L"mv", site(L"src"), remote(L"dst")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find(text::toUtf8(remote(L"dst\\a\\ONE.TXT")) + "): (183) "), std::string::npos) << r.out;
    EXPECT_EQ(snapshot(tree.root()), before);
    EXPECT_EQ(snapshot(remote(L"")), TreeSnapshot{});
    r = run({L"--ex-copy", L"--source=" + site(L"src"), L"--destination=" + remote(L"copy")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("ONE.TXT"), std::string::npos) << r.out;
    EXPECT_EQ(snapshot(tree.root()), before);
}

TEST_F(CrossVolume, FileMovesAndReplaces) {
    tree.file(L"vhosts\\f.txt", "new");
    other.file(L"f.txt", "old");
    auto r = run({L"mv", site(L"f.txt"), remote(L"f.txt")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(snapshot(remote(L"")), (TreeSnapshot{{L"f.txt", "new"}}));
    EXPECT_EQ(snapshot(site(L"")), TreeSnapshot{});
}

TEST_F(CrossVolume, FailedMoveLeavesTheSourceWholeAndNoDestination) {
    make(tree, L"vhosts\\src");
    substitute.failNext(Call::copyFile, site(L"src\\a\\b\\two.txt"), ERROR_SHARING_VIOLATION);
    auto before = snapshot(tree.root());
    auto r = run({L"mv", site(L"src"), remote(L"dst")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(snapshot(tree.root()), before);
    EXPECT_EQ(snapshot(remote(L"")), TreeSnapshot{});
}

TEST_F(CrossVolume, RecursiveCopy) {
    make(tree, L"vhosts\\src");
    auto r = run({L"cp", L"-r", site(L"src"), remote(L"copy")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(snapshot(remote(L"copy")), kSource);
    EXPECT_EQ(snapshot(site(L"src")), kSource);
}

} // namespace
