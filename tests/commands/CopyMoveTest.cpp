#include "app/Text.h"
#include "support/FileFixtures.h"

#include <gtest/gtest.h>

namespace {

using testsupport::Call;
using testsupport::snapshot;
using testsupport::TreeSnapshot;

class CopyCommand : public testsupport::FileCommandTest {};
class MoveCommand : public testsupport::FileCommandTest {};

std::string u8(const std::wstring& s) { return text::toUtf8(s); }

TEST_F(CopyCommand, CopiesAFileAndOverwritesAnExistingOne) {
    tree.file(L"vhosts\\a.txt", "new");
    tree.file(L"vhosts\\b.txt", "old");
    for (auto options : {std::vector<std::wstring>{}, {L"-f"}, {L"--force"}}) {
        std::vector<std::wstring> args{L"cp"};
        args.insert(args.end(), options.begin(), options.end());
        args.insert(args.end(), {site(L"a.txt"), site(L"b.txt")});
        auto r = run(args);
        EXPECT_EQ(r.exitCode, 0) << r.out;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(testsupport::readFile(site(L"b.txt")), "new");
    }
}

TEST_F(CopyCommand, DirectoryNeedsRecursiveAndNothingIsCreated) {
    tree.file(L"vhosts\\dir\\f.txt", "x");
    auto before = snapshot(tree.root());
    auto r = run({L"cp", site(L"dir"), site(L"copy")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "The (" + u8(site(L"dir")) + ") is directory, use -r");
    EXPECT_EQ(snapshot(tree.root()), before);
}

TEST_F(CopyCommand, DestinationInsideTheSourceIsRefusedEqualPathsPass) {
    tree.file(L"vhosts\\dir\\f.txt", "x");
    auto before = snapshot(tree.root());
    auto r = run({L"cp", L"-r", site(L"dir"), site(L"dir\\sub")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "Unable to copy from " + u8(site(L"dir")) + " to " + u8(site(L"dir\\sub")) +
                         ". The destination is sub path of the source path.: (161) Path is invalid.");
    EXPECT_EQ(snapshot(tree.root()), before);
    // The same directory passes the check; copying each file onto itself then fails, harmlessly.
    r = run({L"cp", L"-r", site(L"dir"), site(L"DIR")});
    EXPECT_EQ(r.out.rfind("Unable to copy (" + u8(site(L"dir\\f.txt")) + ") to (" + u8(site(L"DIR\\f.txt")) + "): (32) ", 0),
              0u) << r.out;
    EXPECT_EQ(snapshot(tree.root()), before);
}

TEST_F(CopyCommand, RecursiveCopyMergesIntoAnExistingDestination) {
    tree.file(L"vhosts\\src\\top.txt", "top");
    tree.file(L"vhosts\\src\\a\\one.txt", "one");
    tree.file(L"vhosts\\src\\a\\b\\two.txt", "two");
    tree.folder(L"vhosts\\src\\empty");
    tree.file(L"vhosts\\dst\\top.txt", "stale");
    tree.file(L"vhosts\\dst\\mine.txt", "mine");
    for (const wchar_t* option : {L"-r", L"-R", L"--recursive"}) {
        auto r = run({L"cp", option, site(L"src"), site(L"dst")});
        EXPECT_EQ(r.exitCode, 0) << r.out;
        EXPECT_EQ(snapshot(site(L"dst")), (TreeSnapshot{{L"top.txt", "top"},
                                                        {L"mine.txt", "mine"},
                                                        {L"a", "<dir>"},
                                                        {L"a\\one.txt", "one"},
                                                        {L"a\\b", "<dir>"},
                                                        {L"a\\b\\two.txt", "two"},
                                                        {L"empty", "<dir>"}}));
    }
}

TEST_F(CopyCommand, ReadOnlyDestinationIsOverwrittenAfterRecovery) {
    tree.file(L"vhosts\\a.txt", "new");
    std::wstring b = tree.file(L"vhosts\\b.txt", "old");
    SetFileAttributesW(b.c_str(), FILE_ATTRIBUTE_READONLY);
    // Root under Wine writes over read-only files: the refusal comes from the substitute.
    substitute.failNext(Call::copyFile, b, ERROR_ACCESS_DENIED);
    auto r = run({L"cp", site(L"a.txt"), site(L"b.txt")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(testsupport::readFile(b), "new");
    EXPECT_EQ(substitute.calls(Call::copyFile, b), 2);
    EXPECT_TRUE(substitute.security(b).has_value()); // ownership taken

    // A refusal that outlasts the recovery is reported.
    substitute.failNext(Call::copyFile, b, ERROR_ACCESS_DENIED, 2);
    r = run({L"cp", site(L"a.txt"), site(L"b.txt")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("Unable to copy (" + u8(site(L"a.txt")) + ") to (" + u8(site(L"b.txt")) + "): (5) ", 0), 0u)
        << r.out;
}

TEST_F(CopyCommand, JunctionsAreRecreatedNotFollowed) {
    tree.file(L"vhosts\\target\\data.txt", "data");
    tree.file(L"vhosts\\src\\f.txt", "f");
    substitute.addJunction(site(L"src\\link"), site(L"target"));
    auto r = run({L"cp", L"-r", site(L"src"), site(L"dst")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(substitute.junctionTarget(site(L"dst\\link")), L"\\\\?\\" + site(L"target"));
    EXPECT_EQ(snapshot(site(L"dst"), &substitute), (TreeSnapshot{{L"f.txt", "f"}, {L"link", "<junction>"}}));
    EXPECT_EQ(snapshot(site(L"target")), (TreeSnapshot{{L"data.txt", "data"}}));
}

TEST_F(CopyCommand, MissingSourceFailsBeforeAnythingIsCreated) {
    auto before = snapshot(tree.root());
    for (auto args : {std::vector<std::wstring>{L"cp", site(L"none"), site(L"dst")},
                      {L"cp", L"-r", site(L"none"), site(L"dst")},
                      {L"cp", L"-l", site(L"none"), site(L"dst")},
                      {L"mv", site(L"none"), site(L"dst")}}) {
        auto r = run(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out.rfind("Unable to get file (" + u8(site(L"none")) + ") attributes: (2) ", 0), 0u) << r.out;
    }
    EXPECT_EQ(snapshot(tree.root()), before);
}

TEST_F(CopyCommand, OutsideTheAllowedAreaNothingHappens) {
    tree.file(L"outside\\secret.txt", "s");
    auto before = snapshot(tree.root());
    auto r = run({L"cp", tree.path(L"outside\\secret.txt"), site(L"stolen.txt")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Path is not allowed"), std::string::npos);
    r = run({L"cp", site(L"x"), tree.path(L"outside\\x")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(snapshot(tree.root()), before);
}

TEST_F(CopyCommand, LinkMakesAHardLinkOrAJunction) {
    tree.file(L"vhosts\\a.txt", "a");
    tree.file(L"vhosts\\dir\\in.txt", "in");
    auto r = run({L"cp", L"-l", site(L"a.txt"), site(L"b.txt")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    BY_HANDLE_FILE_INFORMATION info{};
    HANDLE h = CreateFileW(site(L"b.txt").c_str(), 0, 7, nullptr, OPEN_EXISTING, 0, nullptr);
    GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    EXPECT_EQ(info.nNumberOfLinks, 2u);

    r = run({L"cp", L"--link", site(L"dir"), site(L"alias")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(substitute.junctionTarget(site(L"alias")), L"\\\\?\\" + site(L"dir"));

    // An existing destination is refused and left as it was.
    tree.file(L"vhosts\\taken\\keep.txt", "k");
    r = run({L"cp", L"-l", site(L"dir"), site(L"taken")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(snapshot(site(L"taken")), (TreeSnapshot{{L"keep.txt", "k"}}));
}

TEST_F(MoveCommand, MovesAndReplacesFiles) {
    tree.file(L"vhosts\\a.txt", "a");
    tree.file(L"vhosts\\b.txt", "b");
    for (const wchar_t* force : {L"", L"-f"}) {
        std::vector<std::wstring> args{L"mv"};
        if (*force) args.push_back(force);
        args.insert(args.end(), {site(L"a.txt"), site(L"b.txt")});
        auto r = run(args);
        EXPECT_EQ(r.exitCode, 0) << r.out;
        EXPECT_EQ(snapshot(site(L"")), (TreeSnapshot{{L"b.txt", "a"}}));
        tree.file(L"vhosts\\a.txt", "a");
    }
}

TEST_F(MoveCommand, OntoItselfByAnotherNameChangesNothing) {
    tree.file(L"vhosts\\Same.txt", "s");
    tree.file(L"vhosts\\dir\\in.txt", "in");
    substitute.addShortName(site(L"Same.txt"), site(L"SAME~1.TXT"));
    auto before = snapshot(tree.root());
    for (auto pair : {std::pair{site(L"Same.txt"), site(L"same.TXT")}, {site(L"Same.txt"), site(L"SAME~1.TXT")},
                      {site(L"dir"), site(L"DIR\\")}}) {
        auto r = run({L"mv", pair.first, pair.second});
        EXPECT_EQ(r.exitCode, 0) << r.out;
        EXPECT_EQ(snapshot(tree.root()), before);
    }
    EXPECT_EQ(substitute.calls(Call::moveFile), 0);
}

TEST_F(MoveCommand, DirectoryIsRenamedOrCopiedThenRemoved) {
    tree.file(L"vhosts\\src\\a\\one.txt", "one");
    tree.file(L"vhosts\\src\\top.txt", "top");
    auto r = run({L"mv", site(L"src"), site(L"renamed")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    TreeSnapshot expected{{L"renamed", "<dir>"}, {L"renamed\\top.txt", "top"}, {L"renamed\\a", "<dir>"},
                          {L"renamed\\a\\one.txt", "one"}};
    EXPECT_EQ(snapshot(site(L"")), expected);

    // Another volume refuses the rename: the fallback copies, then removes the source.
    substitute.failNext(Call::moveFile, site(L"renamed"), ERROR_NOT_SAME_DEVICE);
    r = run({L"mv", site(L"renamed"), site(L"other")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(snapshot(site(L"")), (TreeSnapshot{{L"other", "<dir>"}, {L"other\\top.txt", "top"}, {L"other\\a", "<dir>"},
                                                 {L"other\\a\\one.txt", "one"}}));
    EXPECT_EQ(testsupport::trashEntries(), 0u);
}

TEST_F(MoveCommand, FailedFallbackIntoANewDestinationLeavesTheSourceWhole) {
    tree.file(L"vhosts\\src\\a.txt", "a");
    tree.file(L"vhosts\\src\\b.txt", "b");
    tree.file(L"vhosts\\src\\sub\\c.txt", "c");
    auto before = snapshot(tree.root());
    substitute.failNext(Call::moveFile, site(L"src"), ERROR_NOT_SAME_DEVICE);
    substitute.failNext(Call::copyFile, site(L"src\\sub\\c.txt"), ERROR_SHARING_VIOLATION);
    auto r = run({L"mv", site(L"src"), site(L"dst")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("Unable to copy (" + u8(site(L"src\\sub\\c.txt")) + ")", 0), 0u) << r.out;
    EXPECT_EQ(snapshot(tree.root()), before);
}

TEST_F(MoveCommand, FailedFallbackIntoAnExistingDestinationKeepsWhatArrived) {
    tree.file(L"vhosts\\src\\a.txt", "a");
    tree.file(L"vhosts\\src\\z.txt", "z");
    tree.file(L"vhosts\\dst\\mine.txt", "mine");
    substitute.failNext(Call::moveFile, site(L"src"), ERROR_ALREADY_EXISTS);
    substitute.failNext(Call::copyFile, site(L"src\\z.txt"), ERROR_SHARING_VIOLATION);
    auto r = run({L"mv", site(L"src"), site(L"dst")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(snapshot(site(L"src")), (TreeSnapshot{{L"a.txt", "a"}, {L"z.txt", "z"}}));
    EXPECT_EQ(snapshot(site(L"dst")), (TreeSnapshot{{L"a.txt", "a"}, {L"mine.txt", "mine"}}));
}

TEST_F(MoveCommand, FailedRollbackIsReported) {
    tree.file(L"vhosts\\src\\a.txt", "a");
    tree.file(L"vhosts\\src\\b.txt", "b");
    substitute.failNext(Call::moveFile, site(L"src"), ERROR_NOT_SAME_DEVICE);
    substitute.failNext(Call::copyFile, site(L"src\\b.txt"), ERROR_SHARING_VIOLATION);
    // The partial destination can be neither moved away whole nor entry by entry.
    substitute.failNext(Call::moveFile, site(L"dst"), ERROR_SHARING_VIOLATION, 100);
    substitute.failNext(Call::moveFile, site(L"dst\\a.txt"), ERROR_SHARING_VIOLATION, 100);
    auto r = run({L"mv", site(L"src"), site(L"dst")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("At Unable to copy (", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\n rollback failed: Unable to remove file: (Unable to move (" + u8(site(L"dst\\a.txt"))),
              std::string::npos);
    EXPECT_EQ(snapshot(site(L"src")), (TreeSnapshot{{L"a.txt", "a"}, {L"b.txt", "b"}}));
}

TEST_F(MoveCommand, JunctionMovedToAnotherVolumeKeepsItsTargetsContents) {
    tree.file(L"vhosts\\target\\data.txt", "data");
    substitute.addJunction(site(L"link"), site(L"target"));
    substitute.failNext(Call::moveFile, site(L"link"), ERROR_NOT_SAME_DEVICE);
    auto r = run({L"mv", site(L"link"), site(L"moved")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(substitute.junctionTarget(site(L"moved")), L"\\\\?\\" + site(L"target"));
    EXPECT_FALSE(substitute.junctionTarget(site(L"link")));
    EXPECT_EQ(snapshot(site(L"target")), (TreeSnapshot{{L"data.txt", "data"}}));
}

} // namespace

TEST_F(MoveCommand, EntriesWrittenIntoTheSourceDuringTheFallbackStayAndFailTheMove) {
    tree.file(L"vhosts\\src\\top.txt", "top");
    tree.file(L"vhosts\\src\\a\\one.txt", "one");
    tree.file(L"vhosts\\src\\a\\b\\two.txt", "two");
    tree.file(L"vhosts\\dst\\mine.txt", "mine");
    size_t trash = testsupport::trashEntries();
    // The rename is refused (the destination exists): the fallback copies, and while it copies
    // the last file a site writes a log into a folder already copied and one at the top.
    substitute.onNext(Call::copyFile, site(L"src\\a\\b\\two.txt"), [&] {
        tree.file(L"vhosts\\src\\a\\late.log", "late");
        tree.file(L"vhosts\\src\\later.log", "later");
    });
    auto r = run({L"mv", site(L"src"), site(L"dst")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("Unable to remove path (" + u8(site(L"src\\a")) + ", " + u8(site(L"src")) +
                              "): entries arrived in it during the move: (145) ",
                          0),
              0u)
        << r.out;
    EXPECT_EQ(snapshot(site(L"src")), (TreeSnapshot{{L"a", "<dir>"}, {L"a\\late.log", "late"}, {L"later.log", "later"}}));
    EXPECT_EQ(snapshot(site(L"dst")), (TreeSnapshot{{L"mine.txt", "mine"},
                                                    {L"top.txt", "top"},
                                                    {L"a", "<dir>"},
                                                    {L"a\\one.txt", "one"},
                                                    {L"a\\b", "<dir>"},
                                                    {L"a\\b\\two.txt", "two"}}));
    EXPECT_EQ(testsupport::trashEntries(), trash);
}

TEST_F(MoveCommand, SourceThatCannotLeaveWholeIsRemovedEntryByEntryAndArrivalsStay) {
    tree.file(L"vhosts\\src\\a\\one.txt", "one");
    tree.file(L"vhosts\\src\\two.txt", "two");
    substitute.failNext(Call::moveFile, site(L"src"), ERROR_NOT_SAME_DEVICE);
    // The whole tree cannot go to the trash (an open file, say): entry by entry it is.
    substitute.failNext(Call::moveFile, site(L"src"), ERROR_SHARING_VIOLATION, 100);
    substitute.onNext(Call::copyFile, site(L"src\\a\\one.txt"), [&] { tree.file(L"vhosts\\src\\a\\new.txt", "new"); });
    auto r = run({L"mv", site(L"src"), site(L"dst")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("entries arrived in it during the move"), std::string::npos) << r.out;
    EXPECT_EQ(snapshot(site(L"src")), (TreeSnapshot{{L"a", "<dir>"}, {L"a\\new.txt", "new"}}));
    EXPECT_EQ(snapshot(site(L"dst")),
              (TreeSnapshot{{L"a", "<dir>"}, {L"a\\one.txt", "one"}, {L"two.txt", "two"}}));
}

TEST_F(CopyCommand, CaseTwinsFailTheCopyWhereTheyMeetAndNothingIsReplaced) {
    tree.file(L"vhosts\\src\\a.txt", "lower");
    tree.file(L"vhosts\\src\\sub\\f.txt", "f");
    substitute.addCaseTwin(site(L"src\\a.txt"), L"A.TXT");
    auto r = run({L"cp", L"-r", site(L"src"), site(L"dst")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("Unable to copy (" + u8(site(L"src\\A.TXT")) + ") to (" + u8(site(L"dst\\A.TXT")) +
                              "): (183) ",
                          0),
              0u)
        << r.out;
    EXPECT_EQ(snapshot(site(L"src")), (TreeSnapshot{{L"a.txt", "lower"}, {L"sub", "<dir>"}, {L"sub\\f.txt", "f"}}));
    EXPECT_EQ(snapshot(site(L"dst")), (TreeSnapshot{{L"a.txt", "lower"}}));

    // Folders that differ in letter case only would merge: the second is refused before it is made.
    tree.file(L"vhosts\\dirs\\Data\\x.txt", "x");
    substitute.addCaseTwin(site(L"dirs\\Data"), L"DATA");
    r = run({L"cp", L"-r", site(L"dirs"), site(L"copy")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find(u8(site(L"copy\\DATA")) + "): (183) "), std::string::npos) << r.out;
    EXPECT_EQ(snapshot(site(L"copy")), (TreeSnapshot{{L"Data", "<dir>"}}));
}

TEST_F(MoveCommand, CaseTwinsFailTheMoveTheSourceStaysWholeTheNewDestinationGoes) {
    tree.file(L"vhosts\\src\\readme", "one");
    tree.file(L"vhosts\\src\\sub\\f.txt", "f");
    auto before = snapshot(tree.root());
    substitute.addCaseTwin(site(L"src\\readme"), L"README");
    substitute.failNext(Call::moveFile, site(L"src"), ERROR_NOT_SAME_DEVICE);
    auto r = run({L"mv", site(L"src"), site(L"dst")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find(u8(site(L"dst\\README")) + "): (183) "), std::string::npos) << r.out;
    EXPECT_EQ(snapshot(tree.root()), before);
}
