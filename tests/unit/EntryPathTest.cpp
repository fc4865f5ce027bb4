#include "EntryPath.h"

#include <gtest/gtest.h>

namespace {

using archivers::leafOf;
using archivers::relativeEntryPath;

TEST(EntryPath, ArchiveNamesBecomeRelativeWindowsPaths) {
    EXPECT_EQ(relativeEntryPath(L"site/css/style.css"), L"site\\css\\style.css");
    EXPECT_EQ(relativeEntryPath(L"site\\index.html"), L"site\\index.html");
    EXPECT_EQ(relativeEntryPath(L"./site/./a.txt"), L"site\\a.txt"); // tar -C dir .
    EXPECT_EQ(relativeEntryPath(L"site//a.txt"), L"site\\a.txt");
    EXPECT_EQ(relativeEntryPath(L"site/"), L"site");
    EXPECT_EQ(relativeEntryPath(L"./"), L"");
    EXPECT_EQ(relativeEntryPath(L"..a/b..c/.hidden"), L"..a\\b..c\\.hidden");
    EXPECT_EQ(relativeEntryPath(L"\u00fcn\u00efcode.txt"), L"\u00fcn\u00efcode.txt");
    EXPECT_EQ(relativeEntryPath(L"console.txt"), L"console.txt");
    EXPECT_EQ(relativeEntryPath(L"com10"), L"com10");
}

TEST(EntryPath, NamesThatLeaveTheDirectoryAreRefused) {
    for (const wchar_t* name : {L"../outside.txt", L"site/../../outside.txt", L"site/..", L"..\\x",
                                L"/etc/passwd", L"\\windows\\win.ini", L"\\\\?\\C:\\x",
                                L"\\\\server\\share\\x", L"C:/evil.txt", L"C:evil.txt", L"c:\\x"})
        EXPECT_FALSE(relativeEntryPath(name)) << name;
}

TEST(EntryPath, NamesWindowsWouldAliasOrRefuseAreRefused) {
    for (const wchar_t* name :
         {L"a.txt:stream",  L"site/nul",  L"NUL.txt",     L"con",        L"aux .log", L"lpt1",
          L"COM9.x",        L"conin$",    L"site/CLOCK$", L"clock$.txt", L"com0",     L"LPT0.dat",
          L"COM\u00b9.log", L"lpt\u00b3", L"dir./a",      L"a ",         L"...",      L"a\x01",
          L"a*b",           L"a?b",       L"a<b",         L"a|b",        L"a\"b",     L""})
        EXPECT_FALSE(relativeEntryPath(name)) << name;
}

TEST(EntryPath, LeafIsTheLastComponent) {
    EXPECT_EQ(leafOf(L"site\\css\\style.css"), L"style.css");
    EXPECT_EQ(leafOf(L"a.txt"), L"a.txt");
}

} // namespace
