#include "app/Text.h"
#include "security/Ace.h"
#include "support/FileFixtures.h"
#include "support/InProcess.h"
#include "support/SecurityFixtures.h"
#include "support/XmlOutline.h"
#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

namespace {

using security::Ace;
using testsupport::outlineText;
using testsupport::xmlOutline;

class EffectivePermissionsCommand : public testsupport::FileCommandTest {
protected:
    // The document written to the standard-output handle, as an outline.
    std::string streamed(const std::vector<std::wstring>& arguments) {
        std::wstring file = tree.path(L"stdout.xml");
        HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
        HANDLE old = GetStdHandle(STD_OUTPUT_HANDLE);
        SetStdHandle(STD_OUTPUT_HANDLE, out);
        auto r = run(arguments);
        SetStdHandle(STD_OUTPUT_HANDLE, old);
        CloseHandle(out);
        EXPECT_EQ(r.exitCode, 0) << r.out;
        EXPECT_EQ(r.out, "");
        events = r.events;
        raw = testsupport::readFile(file);
        return outlineText(xmlOutline(raw));
    }
    static std::string mask(const char* bits) {
        static const char* names[] = {"TraverseFolderOrExecuteFile", "ListFolderOrReadData", "ReadAttributes",
                                      "ReadExtendedAttributes", "CreateFilesOrWriteData", "CreateFoldersOrAppend",
                                      "WriteAttributes", "WriteExtendedAttributes", "DeleteSubfoldersandFiles",
                                      "Delete", "ReadPermissions", "ChangePermissions", "TakeOwnership"};
        std::string out;
        for (int i = 0; i < 13; ++i)
            out += std::string(" ") + names[i] + "=\"" + (bits[i] == '1' ? "True" : "False") + "\"";
        return out;
    }
    std::vector<testsupport::EventRecord> events;
    std::string raw;
};

// FILE_GENERIC_READ: list/read data, attributes, extended attributes, permissions; no traverse.
const char* kRead = "0111000000100";
const char* kNone = "0000000000000";
const char* kOwner = "0000000000110";

TEST_F(EffectivePermissionsCommand, TheRequestedPathAlone) {
    std::wstring file = tree.file(L"vhosts\\f.txt", "f");
    setDacl(file, testsupport::otherUserSid(), {Ace::allowed(FILE_GENERIC_READ, tokenUser())});
    const std::string own = "EffectivePermissions\n  AccessMask\n    AccessMask" + mask(kRead) + "\n";
    EXPECT_EQ(streamed({L"--effective-permissions", L"--path=" + file}), own);
    EXPECT_EQ(raw.rfind("<?xml", 0), 0u) << raw;
    // A file has no children: the option changes nothing; only-children leaves the document empty.
    EXPECT_EQ(streamed({L"--effective-permissions", L"--path=" + file, L"--with-child-objects"}), own);
    EXPECT_EQ(streamed({L"--effective-permissions", L"--path=" + file, L"--child-objects-only"}),
              "EffectivePermissions\n");
}

TEST_F(EffectivePermissionsCommand, ChildrenOneLevelDeepFoldersFirst) {
    tree.file(L"vhosts\\dir\\a.txt", "a");
    tree.file(L"vhosts\\dir\\sub\\deep.txt", "d");
    setDacl(site(L"dir"), testsupport::otherUserSid(), {Ace::allowed(FILE_GENERIC_READ, tokenUser())});
    setDacl(site(L"dir\\a.txt"), tokenUser(), {});
    setDacl(site(L"dir\\sub"), testsupport::otherUserSid(),
            {Ace::denied(FILE_GENERIC_READ, tokenUser()), Ace::allowed(FILE_ALL_ACCESS, testsupport::usersGroupSid())});
    substitute.token().groups.push_back({testsupport::usersGroupSid()});
    const std::string children = "  Child Path=\"sub\"\n"
                                 "    AccessMask Path=\"sub\"\n"
                                 "      AccessMask" + std::string(mask("0000000001011")) + "\n"
                                 "  Child Path=\"a.txt\"\n"
                                 "    AccessMask Path=\"a.txt\"\n"
                                 "      AccessMask" + mask(kOwner) + "\n";
    EXPECT_EQ(streamed({L"--effective-permissions", L"--path=" + site(L"dir"), L"--with-child-objects"}),
              "EffectivePermissions\n  AccessMask\n    AccessMask" + mask(kRead) + "\n" + children);
    EXPECT_EQ(streamed({L"--effective-permissions", L"--path=" + site(L"dir"), L"--child-objects-only"}),
              "EffectivePermissions\n" + children);
    EXPECT_EQ(streamed({L"--effective-permissions", L"--path=" + site(L"dir"), L"--child-objects-only",
                        L"--with-child-objects"}),
              "EffectivePermissions\n" + children);
}

TEST_F(EffectivePermissionsCommand, AFailureShowsOnTheElementOfItsItem) {
    tree.file(L"vhosts\\dir\\bad.txt", "b");
    tree.file(L"vhosts\\dir\\good.txt", "g");
    setDacl(site(L"dir"), testsupport::otherUserSid(), {});
    setDacl(site(L"dir\\good.txt"), testsupport::otherUserSid(), {});
    substitute.failNext(testsupport::Call::getNamedSecurityInfo, site(L"dir\\bad.txt"), ERROR_ACCESS_DENIED, 1000);
    auto outline = xmlOutline(
        (streamed({L"--effective-permissions", L"--path=" + site(L"dir"), L"--with-child-objects"}), raw));
    ASSERT_EQ(outline.size(), 7u) << raw;
    EXPECT_EQ(outline[3].name, "Child");
    EXPECT_EQ(outline[3].attributes.size(), 4u);
    EXPECT_EQ(testsupport::attributeOf(outline[3], "Path"), "bad.txt");
    EXPECT_EQ(testsupport::attributeOf(outline[3], "ErrorCode"), "access_is_denied");
    EXPECT_EQ(outline[4].name, "Child");
    EXPECT_EQ(outline[5].name, "AccessMask");
    EXPECT_EQ(outline[5].attributes, (testsupport::XmlAttributes{{"Path", "good.txt"}}));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].level, 3);
}

TEST_F(EffectivePermissionsCommand, AFolderWhoseListingFailsKeepsItsRights) {
    tree.file(L"vhosts\\dir\\a.txt", "a");
    setDacl(site(L"dir"), testsupport::otherUserSid(), {Ace::allowed(FILE_GENERIC_READ, tokenUser())});
    substitute.failNext(testsupport::Call::findFirstFile, site(L"dir\\*.*"), ERROR_INVALID_FUNCTION, 1000);
    auto outline = xmlOutline(
        (streamed({L"--effective-permissions", L"--path=" + site(L"dir"), L"--with-child-objects"}), raw));
    ASSERT_EQ(outline.size(), 3u) << raw;
    EXPECT_EQ(outline[0].name, "EffectivePermissions");
    EXPECT_EQ(testsupport::attributeOf(outline[0], "ErrorCode"), "unknown");
    EXPECT_NE(testsupport::attributeOf(outline[0], "ErrorDetails"), "");
    EXPECT_EQ(outline[1].name, "AccessMask");
    EXPECT_TRUE(outline[1].attributes.empty()) << raw;
    EXPECT_EQ(outline[2].attributes.size(), 13u);
    EXPECT_EQ(testsupport::attributeOf(outline[2], "ListFolderOrReadData"), "True");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].level, 3);
}

// In debug mode the details carry their context lines: a parser reads them back with their
// line feeds.
TEST_F(EffectivePermissionsCommand, DebugDetailsKeepTheirLineFeeds) {
    testsupport::ScopedConfigDword debug(L"Debug", 1);
    tree.file(L"vhosts\\dir\\bad.txt", "b");
    setDacl(site(L"dir"), testsupport::otherUserSid(), {});
    substitute.failNext(testsupport::Call::getNamedSecurityInfo, site(L"dir\\bad.txt"), ERROR_ACCESS_DENIED, 1000);
    streamed({L"--effective-permissions", L"--path=" + site(L"dir"), L"--child-objects-only"});
    ASSERT_NE(raw.find("&#10;   at "), std::string::npos) << raw;
    xml::XmlDocument reread;
    reread.loadText(text::fromUtf8(raw), L"streamed");
    std::optional<xml::XmlElement> child = reread.root().child(L"Child");
    ASSERT_TRUE(child);
    EXPECT_NE(child->text(L"ErrorDetails").find(L"\n   at "), std::wstring::npos);
}

TEST_F(EffectivePermissionsCommand, ARefusedPathGivesTheDocumentWithItsError) {
    std::wstring file = tree.file(L"outside\\f.txt", "f");
    auto outline = xmlOutline((streamed({L"--effective-permissions", L"--path=" + file}), raw));
    ASSERT_EQ(outline.size(), 1u) << raw;
    EXPECT_EQ(outline[0].attributes,
              (testsupport::XmlAttributes{{"Error", "Path is not allowed."},
                                          {"ErrorCode", "path_is_not_allowed"},
                                          {"ErrorDetails", text::toUtf8(file) + ": Path is not allowed"}}));
}

TEST_F(EffectivePermissionsCommand, ADenyEntryCountsOnlyBeforeTheAllowThatGrants) {
    std::wstring file = tree.file(L"vhosts\\f.txt", "f");
    substitute.token().groups.push_back({testsupport::usersGroupSid()});
    const Ace allowAll = Ace::allowed(FILE_ALL_ACCESS, tokenUser());
    const Ace denyDacl = Ace::denied(READ_CONTROL | WRITE_DAC, testsupport::usersGroupSid());
    setDacl(file, testsupport::otherUserSid(), {denyDacl, allowAll});
    EXPECT_EQ(streamed({L"--effective-permissions", L"--path=" + file}),
              "EffectivePermissions\n  AccessMask\n    AccessMask" + mask("1111111111001") + "\n");
    // Once every bit is granted the walk stops; and the owner's rights outlive any deny entry.
    setDacl(file, testsupport::otherUserSid(), {allowAll, denyDacl});
    EXPECT_EQ(streamed({L"--effective-permissions", L"--path=" + file}),
              "EffectivePermissions\n  AccessMask\n    AccessMask" + mask("1111111111111") + "\n");
    setDacl(file, tokenUser(), {denyDacl, allowAll});
    EXPECT_EQ(streamed({L"--effective-permissions", L"--path=" + file}),
              "EffectivePermissions\n  AccessMask\n    AccessMask" + mask("1111111111111") + "\n");
    setDacl(file, testsupport::otherUserSid(), {});
    EXPECT_EQ(streamed({L"--effective-permissions", L"--path=" + file}),
              "EffectivePermissions\n  AccessMask\n    AccessMask" + mask(kNone) + "\n");
}

} // namespace
