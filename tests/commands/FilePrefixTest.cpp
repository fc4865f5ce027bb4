// The bounded read of a file's first bytes: the whole file up to the limit, the limit past it.
#include "commands/files/FilePrefix.h"

#include "support/PolicyFixtures.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using files::FilePrefix;

class FilePrefixTest : public ::testing::Test {
protected:
    FilePrefix prefixOf(const std::string& content, size_t limit) {
        std::wstring path = tree.file(L"f.bin", content);
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE);
        FilePrefix prefix(h, limit);
        CloseHandle(h);
        return prefix;
    }
    static std::string text(const FilePrefix& prefix) {
        return {reinterpret_cast<const char*>(prefix.content().data()), prefix.content().size()};
    }
    testsupport::ScratchTree tree;
};

TEST_F(FilePrefixTest, TheWholeFileUpToTheLimitAndTheLimitPastIt) {
    // Sizes around the limit and around the 4096-byte pieces it is read in.
    std::string content;
    for (int i = 0; i < 9000; ++i)
        content += static_cast<char>('a' + i % 26);
    for (size_t size : {size_t(0), size_t(1), size_t(4095), size_t(4096), size_t(4097), size_t(5000),
                        size_t(5001), size_t(9000)}) {
        SCOPED_TRACE(size);
        FilePrefix prefix = prefixOf(content.substr(0, size), 5000);
        EXPECT_EQ(text(prefix), content.substr(0, std::min<size_t>(size, 5000)));
        EXPECT_EQ(prefix.truncated(), size > 5000);
    }
}

TEST_F(FilePrefixTest, AnUnreadableHandleIsAFailure) {
    std::wstring path = tree.file(L"w.bin", "data");
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_THROW(FilePrefix prefix(h), std::exception);
    CloseHandle(h);
}

} // namespace
