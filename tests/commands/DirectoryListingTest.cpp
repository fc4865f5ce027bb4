#include "app/Exceptions.h"
#include "app/Text.h"
#include "commands/files/DirectoryListing.h"
#include "support/PolicyFixtures.h"
#include "support/SubstitutePlatform.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using files::DirectoryEntry;
using files::listDirectory;
using testsupport::Call;

std::vector<std::wstring> names(const std::vector<DirectoryEntry>& entries) {
    std::vector<std::wstring> out;
    for (const auto& e : entries) out.push_back(e.name);
    return out;
}

const DirectoryEntry& find(const std::vector<DirectoryEntry>& entries, const std::wstring& name) {
    auto it = std::find_if(entries.begin(), entries.end(), [&](const DirectoryEntry& e) { return e.name == name; });
    if (it == entries.end()) throw std::runtime_error("no such entry");
    return *it;
}

TEST(DirectoryListing, SplitsDirectoriesFromFilesWithSizesAndTimes) {
    testsupport::ScratchTree tree;
    tree.file(L"b.txt", "12345");
    tree.file(L"a.txt", "");
    tree.folder(L"sub");
    FILETIME stamp{};
    ULARGE_INTEGER t;
    t.QuadPart = 116444736000000000ULL + 1234567890ULL * 10000000ULL; // 2009-02-13 23:31:30 UTC
    stamp.dwLowDateTime = t.LowPart;
    stamp.dwHighDateTime = t.HighPart;
    HANDLE h = CreateFileW(tree.path(L"b.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SetFileTime(h, nullptr, nullptr, &stamp);
    CloseHandle(h);

    auto listing = listDirectory(paths::NormalPath(tree.root()));
    EXPECT_EQ(listing.path.str(), L"\\\\?\\" + tree.root());
    EXPECT_EQ(names(listing.directories), (std::vector<std::wstring>{L".", L"..", L"sub"}));
    EXPECT_EQ(names(listing.files), (std::vector<std::wstring>{L"a.txt", L"b.txt"}));
    const DirectoryEntry& b = find(listing.files, L"b.txt");
    EXPECT_EQ(b.size, 5u);
    EXPECT_EQ(b.lastWriteTime, 1234567890);
    EXPECT_FALSE(b.isJunction);
    EXPECT_FALSE(b.isReparsePoint);
    EXPECT_TRUE(files::isDotEntry(listing.directories[0]));
    EXPECT_FALSE(files::isDotEntry(find(listing.directories, L"sub")));
}

TEST(DirectoryListing, MissingPathsAndFilesGiveEmptyListings) {
    testsupport::ScratchTree tree;
    std::wstring file = tree.file(L"f.txt", "x");
    for (const std::wstring& path : {tree.path(L"missing"), tree.path(L"missing\\deeper"), file}) {
        auto listing = listDirectory(paths::NormalPath(path));
        EXPECT_TRUE(listing.directories.empty());
        EXPECT_TRUE(listing.files.empty());
    }
}

TEST(DirectoryListing, ListsAChildByItsEntry) {
    testsupport::ScratchTree tree;
    tree.file(L"sub\\inner.txt");
    auto top = listDirectory(paths::NormalPath(tree.root() + L"\\"));
    auto child = listDirectory(paths::NormalPath(top.path), find(top.directories, L"sub"));
    EXPECT_EQ(child.path.str(), L"\\\\?\\" + tree.path(L"sub"));
    EXPECT_EQ(names(child.files), std::vector<std::wstring>{L"inner.txt"});
}

TEST(DirectoryListing, AccessDeniedIsRetriedAfterAGrantAndBounded) {
    testsupport::ScratchTree tree;
    tree.file(L"f.txt");
    testsupport::SubstitutePlatform substitute;
    testsupport::ScopedPlatform scoped(substitute);
    std::wstring pattern = L"\\\\?\\" + tree.root() + L"\\*.*";
    substitute.failNext(Call::findFirstFile, pattern, ERROR_ACCESS_DENIED, 2);
    auto listing = listDirectory(paths::NormalPath(tree.root()));
    EXPECT_EQ(names(listing.files), std::vector<std::wstring>{L"f.txt"});
    EXPECT_EQ(substitute.calls(Call::setSecurityInfo), 4); // owner and DACL, twice

    substitute.failNext(Call::findFirstFile, pattern, ERROR_ACCESS_DENIED, 100);
    try {
        listDirectory(paths::NormalPath(tree.root()));
        FAIL() << "an endless refusal must end";
    } catch (const RunTime::AccessDeniedException& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Unable to read directory (" + text::toAnsi(tree.root()) + ")", 0), 0u);
    }
    EXPECT_EQ(substitute.calls(Call::findFirstFile, pattern), 2 + 1 + 15);
}

TEST(DirectoryListing, OtherFailuresRaise) {
    testsupport::ScratchTree tree;
    testsupport::SubstitutePlatform substitute;
    testsupport::ScopedPlatform scoped(substitute);
    substitute.failNext(Call::findFirstFile, L"", ERROR_SHARING_VIOLATION);
    EXPECT_THROW(listDirectory(paths::NormalPath(tree.root())), RunTime::SharingViolationException);
}

TEST(DirectoryListing, TimesBeforeTheEpochCountBack) {
    FILETIME t{};
    ULARGE_INTEGER v;
    v.QuadPart = 116444736000000000ULL - 5; // half a microsecond before 1970
    t.dwLowDateTime = v.LowPart;
    t.dwHighDateTime = v.HighPart;
    EXPECT_EQ(files::unixSeconds(t), -1);
    t = {};
    EXPECT_EQ(files::unixSeconds(t), -11644473600LL);
}

} // namespace
