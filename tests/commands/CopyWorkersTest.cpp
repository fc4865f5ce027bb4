#include "commands/files/CopyWorkers.h"

#include "app/Text.h"
#include "commands/files/DirectoryListing.h"
#include "support/FileFixtures.h"
#include "support/InProcess.h"
#include "support/SecurityFixtures.h"
#include "support/Standin.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using testsupport::Call;
using testsupport::snapshot;
using testsupport::TreeSnapshot;

std::string u8(const std::wstring& s) { return text::toUtf8(s); }

// `files` files in each of src\one and src\two, and the snapshot a whole copy of src shows.
TreeSnapshot sourceOf(testsupport::ScratchTree& tree, int files) {
    TreeSnapshot expected;
    for (const wchar_t* folder : {L"one", L"two"}) {
        expected.insert({folder, "<dir>"});
        for (int i = 0; i < files; ++i) {
            const std::wstring name = std::wstring(folder) + L"\\f" + std::to_wstring(i) + L".txt";
            tree.file(L"vhosts\\src\\" + name, text::toUtf8(name));
            expected.insert({name, text::toUtf8(name)});
        }
    }
    return expected;
}

class CopyWorkers : public testsupport::FileCommandTest {};

TEST_F(CopyWorkers, TheFirstFailureInListingOrderIsReportedAndNoFolderFollowsIt) {
    for (int i = 0; i < 12; ++i) tree.file(L"vhosts\\src\\f" + std::to_wstring(i) + L".txt", "x");
    tree.file(L"vhosts\\src\\sub\\g.txt", "g");
    // Which file the enumeration delivers third is the file system's choice: the listing says.
    const files::DirectoryListing listing = files::listDirectory(paths::NormalPath(site(L"src")));
    ASSERT_EQ(listing.files.size(), 12u);
    const std::wstring third = listing.files[2].name, ninth = listing.files[8].name;
    substitute.failNext(Call::copyFile, site(L"src\\" + ninth), ERROR_SHARING_VIOLATION);
    substitute.failNext(Call::copyFile, site(L"src\\" + third), ERROR_LOCK_VIOLATION);
    auto r = run({L"cp", L"-r", site(L"src"), site(L"dst")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("Unable to copy (" + u8(site(L"src\\" + third)) + ") to (" + u8(site(L"dst\\" + third)) +
                              "): (33) ",
                          0),
              0u)
        << r.out;
    // The files of a folder come before its subfolders: after a failure among them none is made.
    EXPECT_EQ(substitute.calls(Call::createDirectory, site(L"dst\\sub")), 0);
    EXPECT_EQ(testsupport::readFile(site(L"src\\sub\\g.txt")), "g");
}

TEST_F(CopyWorkers, AFileThatAppearsInAFolderTheCopyMadeIsNeverReplaced) {
    const TreeSnapshot whole = sourceOf(tree, 6);
    // Someone else writes dst\two\f3.txt right before the copy reaches it.
    substitute.onNext(Call::copyFile, site(L"src\\two\\f3.txt"),
                      [&] { tree.file(L"vhosts\\dst\\two\\f3.txt", "theirs"); });
    auto r = run({L"cp", L"-r", site(L"src"), site(L"dst")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find(u8(site(L"dst\\two\\f3.txt")) + "): (80) "), std::string::npos) << r.out;
    EXPECT_EQ(testsupport::readFile(site(L"dst\\two\\f3.txt")), "theirs");
    EXPECT_EQ(snapshot(site(L"src")), whole);
}

TEST_F(CopyWorkers, ACopyIntoAnExistingFolderStillReplacesItsFiles) {
    const TreeSnapshot whole = sourceOf(tree, 4);
    tree.file(L"vhosts\\dst\\one\\f1.txt", "stale");
    auto r = run({L"cp", L"-r", site(L"src"), site(L"dst")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(snapshot(site(L"dst")), whole);
}

// A tree copy as an account the run-as stand-in switched the command's thread to.
class CopyWorkersAsAccount : public testsupport::FileCommandTest {
protected:
    CopyWorkersAsAccount() {
        const security::Sid domain = security::Sid::fromString(L"S-1-5-21-7-8-9");
        substitute.setAccountDomain(domain, L"WEB01");
        substitute.addAccount({L"WEB01", L"alice", testsupport::userSid()});
        // The panel's administrative accounts, which every switch looks up.
        substitute.addAccount({L"WEB01", L"tnaadm", security::Sid::withRid(domain, 1010)});
        substitute.addAccount({L"WEB01", L"Tarnis Administrator", security::Sid::withRid(domain, 1011)});
        // The stand-in can only hand out a token Wine has; the substitute reads it as alice's.
        substitute.setThreadToken(testsupport::SubstituteToken{testsupport::userSid(), {}, {}, {}});
        standin = std::make_unique<testsupport::PanelStandin>("[runas]\n");
    }
    testsupport::InProcessResult copyAsAlice() {
        testsupport::InProcessResult r = testsupport::runInProcess({L"alice", L"cp", L"-r", site(L"src"), site(L"dst")});
        RevertToSelf(); // the stand-in gave this thread a token
        return r;
    }
    std::unique_ptr<testsupport::PanelStandin> standin;
};

TEST_F(CopyWorkersAsAccount, EveryCopyRunsAsTheAccountOnWhicheverThreadMakesIt) {
    const TreeSnapshot whole = sourceOf(tree, 100);
    auto r = copyAsAlice();
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(snapshot(site(L"dst")), whole);
    EXPECT_GT(substitute.threadsOf(Call::copyFile), 1u); // the copies did share the work
    EXPECT_EQ(substitute.callsAsProcess(Call::copyFile), 0);
}

TEST_F(CopyWorkersAsAccount, AThreadThatCannotTakeOnTheAccountCopiesNothing) {
    const TreeSnapshot whole = sourceOf(tree, 20);
    // Every copy thread is refused the account's token: the command's own thread copies it all.
    substitute.failNext(Call::impersonateLoggedOnUser, L"", ERROR_ACCESS_DENIED, 3);
    auto r = copyAsAlice();
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(snapshot(site(L"dst")), whole);
    EXPECT_EQ(substitute.threadsOf(Call::copyFile), 1u);
    EXPECT_EQ(substitute.callsAsProcess(Call::copyFile), 0);
    bool warned = false;
    for (const auto& event : r.events)
        warned = warned || event.message.find(L"A copy thread took no copies") != std::wstring::npos;
    EXPECT_TRUE(warned);
}

} // namespace
