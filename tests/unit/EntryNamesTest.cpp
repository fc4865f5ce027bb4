#include "EntryNames.h"

#include <gtest/gtest.h>

namespace {

using archivers::EntryNames;

TEST(EntryNames, DistinctNamesAndRepeatedFoldersPass) {
    EntryNames names;
    EXPECT_EQ(names.add(L"site", true), nullptr);
    EXPECT_EQ(names.add(L"site\\index.html", false), nullptr);
    EXPECT_EQ(names.add(L"site\\css\\style.css", false), nullptr); // its folder made on the way
    EXPECT_EQ(names.add(L"site\\CSS", true), nullptr);             // the same folder, named again
    EXPECT_EQ(names.add(L"Site\\index.htm", false), nullptr);
    EXPECT_EQ(names.add(L"other\\index.html", false), nullptr);
}

TEST(EntryNames, NamesTheFileSystemTakesForOneClash) {
    struct Case {
        const wchar_t* first;
        bool firstIsFolder;
        const wchar_t* second;
        bool secondIsFolder;
    } cases[] = {
        {L"a.txt", false, L"a.txt", false},
        {L"site\\index.html", false, L"SITE\\INDEX.HTML", false},
        {L"\u00e4.txt", false, L"\u00c4.txt", false},                 // outside ASCII too
        {L"\u0434\u043e\u043c", false, L"\u0414\u041e\u041c", false}, // Cyrillic
        {L"page", false, L"page", true},                              // a file, then a folder
        {L"page", false, L"PAGE\\inner.txt", false},                  // a file, then something below it
        {L"page\\inner.txt", false, L"Page", false},                  // a folder, then a file
        {L"page", true, L"page", false},
    };
    for (const Case& c : cases) {
        EntryNames names;
        ASSERT_EQ(names.add(c.first, c.firstIsFolder), nullptr);
        EXPECT_NE(names.add(c.second, c.secondIsFolder), nullptr) << c.first << L" / " << c.second;
    }
}

TEST(EntryNames, FoldingIsOrdinalNotLinguistic) {
    // Names a locale comparison may take for equal but the file system keeps apart.
    EntryNames names;
    EXPECT_EQ(names.add(L"stra\u00dfe", false), nullptr);
    EXPECT_EQ(names.add(L"strasse", false), nullptr);
    EXPECT_EQ(names.add(L"co\u00adop", false), nullptr);
    EXPECT_EQ(names.add(L"coop", false), nullptr);
}

} // namespace
