#include "commands/files/TemporaryName.h"
#include "app/Exceptions.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <set>

namespace {

bool isGuidText(const std::wstring& s) {
    if (s.size() != 36) return false;
    for (size_t i = 0; i < s.size(); ++i) {
        bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? s[i] != L'-' : !(std::iswdigit(s[i]) || (s[i] >= L'a' && s[i] <= L'f'))) return false;
    }
    return true;
}

TEST(TemporaryName, GuidTextIsLowerCaseAndFresh) {
    std::set<std::wstring> seen;
    for (bool random : {false, true}) {
        for (int i = 0; i < 20; ++i) {
            std::wstring guid = files::createGuidString(random);
            EXPECT_TRUE(isGuidText(guid)) << guid;
            EXPECT_TRUE(seen.insert(guid).second) << guid;
        }
    }
}

TEST(TemporaryName, LeafWithAndWithoutPrefix) {
    const std::wstring guid = L"0123abcd-0000-1111-2222-333344445555";
    EXPECT_EQ(files::temporaryLeaf(L"", guid), L"{" + guid + L"}");
    EXPECT_EQ(files::temporaryLeaf(L"abc", guid), L"{abc-" + guid + L"}");
    EXPECT_EQ(files::temporaryLeaf(L"abc\\\\", guid), L"{abc-" + guid + L"}");
    EXPECT_EQ(files::temporaryLeaf(L"\\", guid), L"{" + guid + L"}");
    EXPECT_EQ(files::temporaryLeaf(L"..", guid), L"{..-" + guid + L"}"); // a name of its own, not a step up
}

TEST(TemporaryName, PrefixThatWouldLeaveTheDirectoryIsRefused) {
    const std::wstring guid = L"0123abcd-0000-1111-2222-333344445555";
    for (const wchar_t* prefix : {L"..\\..\\x", L"a/b", L"x\\y", L"c:evil", L"name:stream", L"a*", L"a?",
                                  L"a|b", L"<a>", L"q\"", L"tab\tin"}) {
        try {
            files::temporaryLeaf(prefix, guid);
            ADD_FAILURE() << "accepted " << testing::PrintToString(std::wstring(prefix));
        } catch (const RunTime::InvalidPathException& e) {
            EXPECT_NE(std::string(e.what()).find("The prefix ("), std::string::npos) << e.what();
        }
    }
}

} // namespace
