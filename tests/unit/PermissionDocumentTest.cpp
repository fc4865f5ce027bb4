// The permission document's vocabulary, compared as text: element and attribute order included.
#include "permissions/PermissionDocument.h"

#include "app/Text.h"
#include "support/FailureOf.h"

#include <gtest/gtest.h>

namespace {

using namespace permissions;
using xml::XmlDocument;
using xml::XmlElement;

const AccountKey kAlice{L"VM", L"alice"};

// The text without the line breaks and tabs that Wine's MSXML indents with (Windows' does not).
std::wstring compact(std::wstring xml) {
    std::erase_if(xml, [](wchar_t c) { return c == L'\r' || c == L'\n' || c == L'\t'; });
    return xml;
}

std::wstring written(bool file, const std::function<void(XmlElement&)>& fill) {
    XmlDocument document;
    XmlElement root = document.createRoot(L"Permissions");
    root.set(L"Type", file ? L"File" : L"Folder");
    fill(root);
    return compact(document.xml());
}

TEST(PermissionDocument, AFolderEntryWithEveryRight) {
    std::wstring xml = written(false, [](XmlElement& root) {
        writeAdvancedAcl(root, L"AdvancedAcl", {{kAlice, L"C:\\", 0xFF, true, 7}}, false);
    });
    EXPECT_EQ(xml, L"<Permissions Type=\"Folder\"><AdvancedAcl><Entry Domain=\"VM\" Name=\"alice\" "
                   L"InheritedFrom=\"C:\\\" Allow=\"True\"><AccessMask TraverseFolderOrExecuteFile=\"True\" "
                   L"ListFolderOrRead=\"True\" CreateFilesOrWrite=\"True\" CreateFoldersOrAppend=\"True\" "
                   L"DeleteSubfoldersandFiles=\"True\" Delete=\"True\" ChangePermissions=\"True\" "
                   L"TakeOwnership=\"True\"/><Control Read=\"True\" Write=\"True\" Execute=\"True\" "
                   L"Full=\"True\"/><ApplyOnto Files=\"True\" Subfolders=\"True\" ThisObject=\"True\"/>"
                   L"</Entry></AdvancedAcl></Permissions>");
}

TEST(PermissionDocument, AFileEntryHasNoApplyOntoAndFullIsEF) {
    std::wstring xml = written(true, [](XmlElement& root) {
        writeAdvancedAcl(root, L"AdvancedAcl", {{kAlice, L"", 0xEF, false, 0}}, true);
    });
    EXPECT_NE(xml.find(L"DeleteSubfoldersandFiles=\"False\""), std::wstring::npos);
    EXPECT_NE(xml.find(L"<Control Read=\"True\" Write=\"True\" Execute=\"True\" Full=\"True\"/>"),
              std::wstring::npos);
    EXPECT_EQ(xml.find(L"ApplyOnto"), std::wstring::npos);
    EXPECT_NE(xml.find(L"InheritedFrom=\"\" Allow=\"False\">"), std::wstring::npos);
}

TEST(PermissionDocument, CommonEntriesByBitOrderAndFileForm) {
    std::wstring folder = written(false, [](XmlElement& root) {
        writeCommonAcl(root, L"CommonAcl", {{kAlice, 0x9, 0x2}}, false);
    });
    EXPECT_EQ(folder, L"<Permissions Type=\"Folder\"><CommonAcl><Entry Domain=\"VM\" Name=\"alice\">"
                      L"<AllowAccessMask Read=\"True\" Write=\"False\" ReadAndExecute=\"False\" "
                      L"ListFolderContents=\"True\" Modify=\"False\" FullControl=\"False\"/>"
                      L"<DenyAccessMask Read=\"False\" Write=\"True\" ReadAndExecute=\"False\" "
                      L"ListFolderContents=\"False\" Modify=\"False\" FullControl=\"False\"/>"
                      L"</Entry></CommonAcl></Permissions>");
    std::wstring file = written(true, [](XmlElement& root) {
        writeCommonAcl(root, L"CommonAcl", {{kAlice, 0x3F, 0}}, true);
    });
    EXPECT_EQ(file.find(L"ListFolderContents"), std::wstring::npos);
}

TEST(PermissionDocument, SimpleAclValues) {
    std::wstring xml = written(false, [](XmlElement& root) {
        writeSimpleAcl(root, {{kAlice, SidTypeUser, kSimpleRead | kSimpleWrite, kSimpleWrite}});
    });
    EXPECT_NE(xml.find(L"<Acl><Ace Domain=\"VM\" Name=\"alice\" Type=\"User\" Read=\"allow\" Execute=\"\" "
                       L"Write=\"deny\"/></Acl>"),
              std::wstring::npos)
        << text::toUtf8(xml);
}

TEST(PermissionDocument, WrittenEntriesReadBackEqual) {
    for (bool file : {false, true}) {
        std::vector<AdvancedEntry> advanced{{kAlice, L"", file ? 0xEFu : 0xFFu, true, file ? 0u : 7u},
                                            {{L"BUILTIN", L"Users"}, L"C:\\x", 0x3, false, file ? 0u : 4u}};
        std::vector<CommonEntry> common{{kAlice, file ? 0x37u : 0x3Fu, 0}, {{L"", L"S-1-5-21-1"}, 0x1, 0x2}};
        XmlDocument document;
        XmlElement root = document.createRoot(L"Permissions");
        root.set(L"Type", file ? L"File" : L"Folder");
        writeAdvancedAcl(root, L"AdvancedAcl", advanced, file);
        writeCommonAcl(root, L"CommonAcl", common, file);
        XmlDocument reread;
        reread.loadText(document.xml(), L"x");
        EXPECT_EQ(readAdvancedAcl(reread.root()), advanced);
        EXPECT_EQ(readCommonAcl(reread.root()), common);
    }
}

TEST(PermissionDocument, ReadingIsStrictAboutTrueAndCutsToTheObjectKind) {
    XmlDocument document;
    document.loadText(
        L"<Permissions Type=\"File\"><AdvancedAcl><Entry Domain=\"VM\" Name=\"a\" Allow=\"true\">"
        L"<AccessMask DeleteSubfoldersandFiles=\"True\" Delete=\"True\" Read=\"yes\"/>"
        L"<ApplyOnto Files=\"True\"/></Entry></AdvancedAcl><CommonAcl><Entry Name=\"b\">"
        L"<AllowAccessMask ListFolderContents=\"True\" Read=\"True\"/></Entry></CommonAcl>"
        L"<Acl><Ace Domain=\"VM\" Name=\"c\" Read=\"Allow\" Write=\"deny\" Execute=\"allow\"/></Acl>"
        L"</Permissions>",
        L"x");
    auto advanced = readAdvancedAcl(document.root());
    ASSERT_EQ(advanced.size(), 1u);
    EXPECT_FALSE(advanced[0].allow); // "true" is not "True"
    EXPECT_EQ(advanced[0].rights, 0x20u);
    EXPECT_EQ(advanced[0].applyOnto, 0u);
    auto common = readCommonAcl(document.root());
    ASSERT_EQ(common.size(), 1u);
    EXPECT_EQ(common[0].allow, 0x1u);
    EXPECT_EQ(common[0].account.domain, L"");
    auto simple = readSimpleAcl(document.root());
    ASSERT_EQ(simple.size(), 1u);
    EXPECT_EQ(simple[0].allow, kSimpleExecute);
    EXPECT_EQ(simple[0].deny, kSimpleWrite);
}

TEST(PermissionDocument, AccountTypeWords) {
    EXPECT_EQ(accountTypeWord(SidTypeUser), L"User");
    for (SID_NAME_USE use : {SidTypeGroup, SidTypeAlias, SidTypeWellKnownGroup})
        EXPECT_EQ(accountTypeWord(use), L"Group");
    EXPECT_EQ(accountTypeWord(SidTypeDomain), L"Domain");
    EXPECT_EQ(accountTypeWord(SidTypeComputer), L"Computer");
    EXPECT_EQ(accountTypeWord(SidTypeDeletedAccount), L"Unknown");
    EXPECT_EQ(accountTypeWord(SidTypeUnknown), L"Unknown");
}

} // namespace
