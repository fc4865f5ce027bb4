// The trash heals: what interrupted removals left is deleted by the next command that uses the
// trash, what a live removal marks is not, and no failure of the purge moves anything back.
#include "app/Text.h"
#include "commands/files/TrashClaim.h"
#include "commands/files/TrashDirectory.h"
#include "support/FileFixtures.h"

#include <gtest/gtest.h>

namespace {

using testsupport::Call;
using testsupport::snapshot;
using testsupport::TreeSnapshot;

class TrashHealing : public testsupport::FileCommandTest {
protected:
    TrashHealing() : trash(files::trashDirectory(paths::NormalPath(site(L"x"))).str()) {}
    // An item of an interrupted removal: a tree with a read-only file, left in the trash.
    std::wstring strand(const std::wstring& name) {
        std::wstring item = trash + L"\\" + name;
        CreateDirectoryW(item.c_str(), nullptr);
        CreateDirectoryW((item + L"\\sub").c_str(), nullptr);
        for (const wchar_t* file : {L"\\a.txt", L"\\sub\\b.txt", L"\\sub\\locked.txt"}) {
            HANDLE h = CreateFileW((item + file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
            CloseHandle(h);
        }
        SetFileAttributesW((item + L"\\sub\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);
        return item;
    }
    bool inTrash(const std::wstring& name) const {
        return GetFileAttributesW((trash + L"\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    std::wstring trash;
};

TEST_F(TrashHealing, TheNextRemovalDeletesWhatInterruptedRemovalsLeftAndSparesLiveOnes) {
    ASSERT_FALSE(trash.empty());
    size_t before = testsupport::trashEntries();
    strand(L"{00000000-0000-0000-0000-00000000000A}");
    std::wstring live = strand(L"{00000000-0000-0000-0000-00000000000B}");
    std::wstring file = trash + L"\\{00000000-0000-0000-0000-00000000000C}";
    CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_READONLY, nullptr));
    // Another removal works on its item: it holds the mark.
    files::TrashClaim mark = files::TrashClaim::mark(live);
    tree.file(L"vhosts\\old.txt", "old");
    auto r = run({L"rm", site(L"old.txt")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_FALSE(inTrash(L"{00000000-0000-0000-0000-00000000000A}"));
    EXPECT_FALSE(inTrash(L"{00000000-0000-0000-0000-00000000000C}"));
    EXPECT_TRUE(inTrash(L"{00000000-0000-0000-0000-00000000000B}"));
    EXPECT_EQ(snapshot(live).size(), 4u);
    EXPECT_EQ(snapshot(site(L"")), TreeSnapshot{});

    // Once that removal has ended (killed, say), its item goes with the next command.
    mark.release();
    r = run({L"--ex-remove", L"--path=" + site(L"missing")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_FALSE(inTrash(L"{00000000-0000-0000-0000-00000000000B}"));
    EXPECT_EQ(testsupport::trashEntries(), before);
}

TEST_F(TrashHealing, AnItemThatVanishesUnderThePurgeCountsAsRemovedAndFailuresStayPut) {
    std::wstring gone = strand(L"{00000000-0000-0000-0000-00000000000D}");
    // Another purge takes the tree's file first.
    substitute.onNext(Call::deleteFile, gone + L"\\a.txt", [&] { DeleteFileW((gone + L"\\a.txt").c_str()); });
    std::wstring stuck = strand(L"{00000000-0000-0000-0000-00000000000E}");
    substitute.failNext(Call::deleteFile, stuck + L"\\sub\\b.txt", ERROR_SHARING_VIOLATION);
    tree.file(L"vhosts\\dir\\f.txt", "f");
    auto r = run({L"rm", L"-r", site(L"dir")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_FALSE(inTrash(L"{00000000-0000-0000-0000-00000000000D}"));
    // What cannot be deleted stays in the trash (never moved back), and the event log says so.
    EXPECT_EQ(snapshot(stuck), (TreeSnapshot{{L"a.txt", ""}, {L"sub", "<dir>"}, {L"sub\\b.txt", ""},
                                             {L"sub\\locked.txt", ""}}));
    bool reported = false;
    for (const auto& event : r.events)
        reported |= event.message.find(L"Unable to empty the trash (" + text::displayPath(trash) + L")") == 0 &&
                    event.message.find(L"{00000000-0000-0000-0000-00000000000E}") != std::wstring::npos;
    EXPECT_TRUE(reported);
    EXPECT_EQ(snapshot(site(L"")), TreeSnapshot{});
    // The next command finds the item again and, this time, deletes it.
    r = run({L"rm", site(L"missing")});
    EXPECT_FALSE(inTrash(L"{00000000-0000-0000-0000-00000000000E}"));
}

TEST_F(TrashHealing, ATreeRemovalMarksItsItemWhileItPurgesIt) {
    tree.file(L"vhosts\\dir\\a.txt", "a");
    tree.file(L"vhosts\\dir\\b.txt", "b");
    DWORD refused = 0;
    // Half-way through the purge, another removal's heal tries to take the item.
    substitute.onNext(Call::deleteFile, L"", [&] {
        for (const auto& [path, content] : snapshot(trash))
            if (path.find(L'\\') == std::wstring::npos) {
                HANDLE h = CreateFileW((trash + L"\\" + path).c_str(), DELETE | FILE_READ_DATA,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
                if (h == INVALID_HANDLE_VALUE) refused = GetLastError();
                else CloseHandle(h);
            }
    });
    auto r = run({L"rm", site(L"dir")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(refused, DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(snapshot(site(L"")), TreeSnapshot{});
}

} // namespace
