// Names that are not ASCII (accents, CJK, an emoji) reach the file system unchanged and come back
// from a listing. CTest also runs this under a caller's C locale: the Wine runner must switch to
// UTF-8 by itself, or Wine could not name these files and tree walks would pass over them.
#include "app/Text.h"
#include "support/PolicyFixtures.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <set>

namespace {

TEST(WineLocale, NonAsciiNamesAreCreatedAndListed) {
    testsupport::ScratchTree tree;
    const std::set<std::wstring> names = {L"caf\u00E9 cr\u00E8me.txt", L"\u65E5\u672C\u8A9E.txt",
                                          L"\U0001F600.txt", L"\u00DCber\u00E4ll"};
    for (const std::wstring& name : names) {
        HANDLE file = CreateFileW(tree.path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << text::toUtf8(name) << " error " << GetLastError();
        CloseHandle(file);
    }
    std::set<std::wstring> listed;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((tree.root() + L"\\*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do {
        std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") listed.insert(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    EXPECT_EQ(listed, names);
    for (const std::wstring& name : names)
        EXPECT_NE(GetFileAttributesW(tree.path(name).c_str()), INVALID_FILE_ATTRIBUTES) << text::toUtf8(name);
}

} // namespace
