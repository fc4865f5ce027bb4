#include "db/DatabaseText.h"

#include "support/FailureOf.h"

#include <gtest/gtest.h>

namespace {

using db::fromDatabaseText;
using db::toDatabaseText;

TEST(DatabaseText, ConvertsToUtf8AndBack) {
    EXPECT_EQ(toDatabaseText(L""), "");
    EXPECT_EQ(toDatabaseText(L"plain"), "plain");
    EXPECT_EQ(toDatabaseText(L"j\u00fcrgen"), "j\xc3\xbcrgen");
    EXPECT_EQ(toDatabaseText(L"\u20ac"), "\xe2\x82\xac");
    EXPECT_EQ(toDatabaseText(L"\xd83d\xde00"), "\xf0\x9f\x98\x80"); // one character in a surrogate pair
    EXPECT_EQ(toDatabaseText(std::wstring(L"a\0b", 3)), std::string("a\0b", 3));
    EXPECT_EQ(fromDatabaseText("j\xc3\xbcrgen"), L"j\u00fcrgen");
    EXPECT_EQ(fromDatabaseText("\xf0\x9f\x98\x80"), L"\xd83d\xde00");
}

TEST(DatabaseText, LoneSurrogateIsRefused) {
    for (std::wstring bad :
         {std::wstring(L"a\xd83d"), std::wstring(L"\xde00z"), std::wstring(L"\xde00\xd83d")}) {
        auto e = testsupport::failureOf([&] { toDatabaseText(bad); });
        EXPECT_EQ(e.message(), L"Invalid UTF-16 text for the database");
    }
}

} // namespace
