// Tree copies and merges (cp -r, the mv merge and its cross-volume fallback, --ex-copy) meeting
// junctions and symbolic links: never written through in the destination, made again from the
// source only to existing places inside the roots. Every case compares the whole scratch tree
// before and after, so a write that went through a link anywhere shows.
#include "app/Text.h"
#include "support/FileFixtures.h"

#include <gtest/gtest.h>

namespace {

using testsupport::Call;
using testsupport::snapshot;
using testsupport::TreeSnapshot;

std::string u8(const std::wstring& s) { return text::toUtf8(s); }

class TreeDestination : public testsupport::FileCommandTest {
protected:
    TreeDestination() {
        tree.file(L"vhosts\\src\\f.txt", "new");
        tree.file(L"vhosts\\src\\sub\\g.txt", "new");
        // Another customer's files and a place outside the roots: what a planted link leads to.
        tree.file(L"vhosts\\other\\f.txt", "theirs");
        tree.file(L"vhosts\\other\\g.txt", "theirs");
        tree.file(L"outside\\f.txt", "system");
        tree.file(L"outside\\g.txt", "system");
    }
    TreeSnapshot all() { return snapshot(tree.root(), &substitute); }
    // A link of each kind standing at `path`, leading to `target`.
    void plant(int kind, const std::wstring& path, const std::wstring& target) {
        if (kind == 0) substitute.addJunction(path, target);
        else substitute.addSymbolicLink(path, target, true);
    }
    // The copy commands with one source and one destination.
    std::vector<std::vector<std::wstring>> copies(const std::wstring& source, const std::wstring& destination) {
        return {{L"cp", L"-r", source, destination},
                {L"mv", source, destination},
                {L"--ex-copy", L"--source=" + source, L"--destination=" + destination}};
    }
    static void expectFailed(const testsupport::InProcessResult& r, const std::string& message) {
        if (r.out.rfind("<?xml", 0) == 0 || r.out.find("<XmlError") != std::string::npos) {
            EXPECT_EQ(r.exitCode, 0) << r.out;
        } else {
            EXPECT_EQ(r.exitCode, 1) << r.out;
        }
        EXPECT_NE(r.out.find(message), std::string::npos) << r.out;
    }
};

TEST_F(TreeDestination, ADestinationThatIsALinkIsNeverWrittenThrough) {
    for (int kind : {0, 1})
        for (const std::wstring& target : {site(L"other"), tree.path(L"outside")}) {
            SCOPED_TRACE(kind);
            SCOPED_TRACE(u8(target));
            plant(kind, site(L"dst"), target);
            auto before = all();
            for (const auto& args : copies(site(L"src"), site(L"dst"))) {
                SCOPED_TRACE(u8(args[0]));
                expectFailed(run(args), "Path (" + u8(site(L"dst")) + ") is a reparse point");
                EXPECT_EQ(all(), before); // the source whole, the link and its target untouched
            }
            ASSERT_EQ(substitute.removeDirectory(site(L"dst")), 0u);
        }
}

TEST_F(TreeDestination, ALinkInsideAMergedDestinationStopsTheMergeThere) {
    tree.file(L"vhosts\\dst\\keep.txt", "kept");
    for (int kind : {0, 1}) {
        SCOPED_TRACE(kind);
        plant(kind, site(L"dst\\sub"), tree.path(L"outside"));
        auto before = all();
        for (const auto& args : copies(site(L"src"), site(L"dst"))) {
            SCOPED_TRACE(u8(args[0]));
            expectFailed(run(args), "Path (" + u8(site(L"dst\\sub")) + ") is a reparse point");
            // Only f.txt may have arrived (cp has no rollback); nothing below the link changed.
            TreeSnapshot after = all();
            after.erase(L"vhosts\\dst\\f.txt");
            EXPECT_EQ(after, before);
            EXPECT_EQ(snapshot(site(L"src")), (TreeSnapshot{{L"f.txt", "new"}, {L"sub", "<dir>"},
                                                              {L"sub\\g.txt", "new"}}));
            DeleteFileW(site(L"dst\\f.txt").c_str());
        }
        ASSERT_EQ(substitute.removeDirectory(site(L"dst\\sub")), 0u);
    }
}

TEST_F(TreeDestination, AFileLinkInTheDestinationIsNotWrittenThrough) {
    tree.folder(L"vhosts\\dst");
    substitute.addSymbolicLink(site(L"dst\\f.txt"), tree.path(L"outside\\f.txt"), false);
    auto before = all();
    for (const auto& args : copies(site(L"src"), site(L"dst"))) {
        SCOPED_TRACE(u8(args[0]));
        expectFailed(run(args), "Path (" + u8(site(L"dst\\f.txt")) + ") is a reparse point");
        EXPECT_EQ(all(), before);
        EXPECT_EQ(testsupport::readFile(tree.path(L"outside\\f.txt")), "system");
    }
}

// A source junction is made again only when where it leads exists and passes the policy.
TEST_F(TreeDestination, SourceJunctionsLeadOnlyToExistingPlacesInsideTheRoots) {
    tree.folder(L"product\\admin\\bin");
    const std::vector<std::pair<std::wstring, std::string>> refused = {
        {tree.path(L"outside"), "Path is not allowed"},
        {tree.path(L"product"), "Path is not allowed"}, // the folders above the denied root
        {site(L"missing"), "Unable to open directory (" + u8(site(L"missing")) + ")"},
    };
    int n = 0;
    for (const auto& [target, message] : refused) {
        SCOPED_TRACE(u8(target));
        substitute.addJunction(site(L"src\\sub\\link"), target);
        auto before = all();
        // (A plain rename by mv moves a junction as it stands: no link is made, nothing is asked.)
        for (const std::wstring command : {L"cp", L"--ex-copy"}) {
            SCOPED_TRACE(u8(command));
            const std::wstring destination = site(L"dst" + std::to_wstring(n++));
            auto r = run(command == L"cp" ? std::vector<std::wstring>{L"cp", L"-r", site(L"src"), destination}
                                          : copies(site(L"src"), destination)[2]);
            expectFailed(r, message);
            // No junction was made anywhere, no missing target created; a copy keeps what it copied.
            auto withoutCopies = [](TreeSnapshot shot) {
                for (auto it = shot.begin(); it != shot.end();)
                    it = it->first.rfind(L"vhosts\\dst", 0) == 0 && it->second != "<junction>" ? shot.erase(it)
                                                                                              : std::next(it);
                return shot;
            };
            EXPECT_EQ(withoutCopies(all()), withoutCopies(before));
        }
        ASSERT_EQ(substitute.removeDirectory(site(L"src\\sub\\link")), 0u);
    }
}

// The cross-volume move of a tree with a junction leading out of the roots fails and leaves the
// source whole; the partial destination goes again.
TEST_F(TreeDestination, TheMoveFallbackRefusesAJunctionOutOfTheRoots) {
    substitute.addJunction(site(L"src\\sub\\link"), tree.path(L"outside"));
    substitute.failNext(Call::moveFile, site(L"src"), ERROR_NOT_SAME_DEVICE);
    auto before = all();
    auto r = run({L"mv", site(L"src"), site(L"moved")});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.out.find("Path is not allowed"), std::string::npos) << r.out;
    EXPECT_EQ(all(), before);
}

// A relative directory link of the source becomes a junction to the place it leads to from its own
// folder, whatever the current directory.
TEST_F(TreeDestination, ARelativeSourceLinkLeadsFromItsOwnFolder) {
    tree.file(L"vhosts\\src\\data\\d.txt", "d");
    substitute.addSymbolicLink(site(L"src\\sub\\up"), L"..\\data", true);
    wchar_t current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    SetCurrentDirectoryW(tree.path(L"outside").c_str());
    auto r = run({L"cp", L"-r", site(L"src"), site(L"dst")});
    SetCurrentDirectoryW(current);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(substitute.junctionTarget(site(L"dst\\sub\\up")), L"\\\\?\\" + site(L"src\\data"));
}

// A junction of the source that meets a link of the same name in the destination replaces the
// link as itself (moved into the trash), never what the link leads to.
TEST_F(TreeDestination, ASourceJunctionReplacesALinkAsItself) {
    tree.folder(L"vhosts\\target");
    substitute.addJunction(site(L"src\\sub\\link"), site(L"target"));
    tree.folder(L"vhosts\\dst\\sub");
    substitute.addJunction(site(L"dst\\sub\\link"), tree.path(L"outside"));
    auto outside = snapshot(tree.path(L"outside"));
    auto r = run({L"cp", L"-r", site(L"src"), site(L"dst")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(substitute.junctionTarget(site(L"dst\\sub\\link")), L"\\\\?\\" + site(L"target"));
    EXPECT_EQ(snapshot(tree.path(L"outside")), outside);
}

} // namespace
