// Tree operations killed half-way, as a server restart or an operator's kill ends them: quarn.exe
// is terminated while rm -r, mv to another volume and cp -r work, at the stage the trash folder or
// the destination shows. Every original file must then be whole in one place, and the next
// removal must leave nothing in the trash.
#include "app/Text.h"
#include "support/FileFixtures.h"
#include "support/PolicyFixtures.h"
#include "support/Process.h"
#include "support/Standin.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace {

using testsupport::snapshot;
using testsupport::TreeSnapshot;

constexpr int kFolders = 12;
constexpr int kFiles = 60;
const wchar_t kTrash[] = L"\\Recycler\\{86066D57-9347-46a7-B4DB-971D9EF36D29}";

// Counts by enumeration only (no file is read): the watch must keep up with the operation.
size_t count(const std::wstring& folder, bool recursive, bool filesOnly) {
    size_t n = 0;
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        bool directory = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        if (!directory || !filesOnly) ++n;
        if (directory && recursive) n += count(folder + L"\\" + name, true, filesOnly);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return n;
}

size_t filesBelow(const std::wstring& root) { return count(root, true, true); }
size_t entriesIn(const std::wstring& folder) { return count(folder, false, false); }

class KilledTreeOperation : public ::testing::Test {
protected:
    KilledTreeOperation() : tree(L"C:"), other(L"Q:") {
        tree.folder(L"vhosts");
        for (int d = 0; d < kFolders; ++d)
            for (int f = 0; f < kFiles; ++f) {
                std::wstring name = L"vhosts\\site\\d" + std::to_wstring(d) + L"\\f" + std::to_wstring(f) + L".txt";
                tree.file(name, "content of " + text::toUtf8(name) + std::string(200, char('a' + f % 26)));
            }
        original = snapshot(site(L"site"));
    }
    std::wstring site(const std::wstring& relative) const { return tree.path(L"vhosts\\" + relative); }
    std::string settings() const {
        return "[strings]\nPRODUCT_ROOT_D=" + text::toUtf8(tree.path(L"product")) +
               "\nPRODUCT_DATA_D=" + text::toUtf8(tree.path(L"data")) +
               "\nHTTPD_VHOSTS_D=" + text::toUtf8(tree.path(L"vhosts")) + "\nCATALINA_HOME=\nDUMP_D=" +
               text::toUtf8(other.root()) + "\n[components]\nfrontpage:2=\n";
    }
    // Starts quarn.exe with the arguments and terminates it as soon as `stage` holds; false when
    // the operation ended before (the stage was never seen).
    bool killAt(const std::vector<std::wstring>& arguments, const std::function<bool()>& stage) {
        testsupport::BackgroundProcess quarn(testsupport::builtProgram(L"quarn.exe"), arguments);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (quarn.running() && std::chrono::steady_clock::now() < deadline) {
            if (stage()) {
                quarn.stop();
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }
    // The next removal (of an unrelated file on each volume) heals both trash folders.
    void expectTheNextRemovalLeavesTheTrashEmpty() {
        for (const testsupport::ScratchTree* t : {&tree, &other}) {
            std::wstring file = t == &tree ? site(L"next.txt") : other.path(L"next.txt");
            HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            CloseHandle(h);
            auto r = testsupport::runQuarn({L"ROOT", L"rm", file});
            EXPECT_EQ(r.exitCode, 0u) << r.out;
            EXPECT_EQ(entriesIn(t->root().substr(0, 2) + kTrash), 0u) << text::toUtf8(t->root());
        }
    }
    // Every original file, whole, in the source or at the destination.
    void expectEveryFileWholeInOnePlace(const std::wstring& source, const std::wstring& destination) {
        TreeSnapshot here = snapshot(source), there = snapshot(destination);
        for (const auto& [path, content] : original) {
            if (content == "<dir>") continue;
            auto a = here.find(path), b = there.find(path);
            bool whole = (a != here.end() && a->second == content) || (b != there.end() && b->second == content);
            EXPECT_TRUE(whole) << text::toUtf8(path);
        }
    }

    testsupport::ScratchTree tree, other;
    TreeSnapshot original;
};

TEST_F(KilledTreeOperation, RemoveKilledInTheTrashIsFinishedByTheNextRemoval) {
    testsupport::PanelStandin standin(settings());
    std::wstring trash = std::wstring(L"C:") + kTrash;
    // Made beforehand so that it can be watched, and emptied of what earlier runs left.
    expectTheNextRemovalLeavesTheTrashEmpty();
    ASSERT_TRUE(killAt({L"ROOT", L"rm", L"-r", site(L"site")}, [&] { return entriesIn(trash) > 0; }));
    EXPECT_EQ(snapshot(site(L"")).count(L"site"), 0u); // it left its place in one move
    expectTheNextRemovalLeavesTheTrashEmpty();
}

TEST_F(KilledTreeOperation, MoveToAnotherVolumeKilledWhileCopyingLeavesTheSourceWhole) {
    testsupport::PanelStandin standin(settings());
    std::wstring destination = other.path(L"moved");
    ASSERT_TRUE(killAt({L"ROOT", L"mv", site(L"site"), destination},
                       [&] { return filesBelow(destination) > kFolders * kFiles / 3; }));
    EXPECT_EQ(snapshot(site(L"site")), original);
    expectEveryFileWholeInOnePlace(site(L"site"), destination);
    expectTheNextRemovalLeavesTheTrashEmpty();
}

TEST_F(KilledTreeOperation, MoveToAnotherVolumeKilledWhileRemovingTheSourceLeavesACompleteCopy) {
    testsupport::PanelStandin standin(settings());
    std::wstring destination = other.path(L"moved");
    std::wstring trash = std::wstring(L"C:") + kTrash;
    expectTheNextRemovalLeavesTheTrashEmpty();
    ASSERT_TRUE(killAt({L"ROOT", L"mv", site(L"site"), destination}, [&] { return entriesIn(trash) > 0; }));
    EXPECT_EQ(snapshot(destination), original);
    expectEveryFileWholeInOnePlace(site(L"site"), destination);
    expectTheNextRemovalLeavesTheTrashEmpty();
}

TEST_F(KilledTreeOperation, CopyKilledHalfWayLeavesTheSourceWhole) {
    testsupport::PanelStandin standin(settings());
    std::wstring destination = other.path(L"copy");
    ASSERT_TRUE(killAt({L"ROOT", L"cp", L"-r", site(L"site"), destination},
                       [&] { return filesBelow(destination) > kFolders * kFiles / 2; }));
    EXPECT_EQ(snapshot(site(L"site")), original);
    TreeSnapshot copied = snapshot(destination);
    EXPECT_LT(copied.size(), original.size());
    expectTheNextRemovalLeavesTheTrashEmpty();
}

} // namespace
