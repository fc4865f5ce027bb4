// --permissions --list of a real folder on the Wine drive, quarn.exe run as the panel runs it.
#include "app/Text.h"
#include "security/Sid.h"
#include "support/DatabaseFixtures.h"
#include "support/PolicyFixtures.h"
#include "support/Process.h"
#include "support/Standin.h"
#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

namespace {

TEST(PermissionsE2e, ListOfARealFolderNamesTheUserSystemAndEveryone) {
    testsupport::ScratchTree tree(L"C:");
    tree.file(L"vhosts\\site\\index.html", "<html/>");
    testsupport::PanelStandin standin("[strings]\nPRODUCT_ROOT_D=" + text::toUtf8(tree.path(L"product")) +
                                      "\nPRODUCT_DATA_D=" + text::toUtf8(tree.path(L"data")) +
                                      "\nHTTPD_VHOSTS_D=" + text::toUtf8(tree.path(L"vhosts")) +
                                      "\nCATALINA_HOME=\nDUMP_D=\n" + testsupport::testDatabaseStrings() +
                                      testsupport::testDatabasePasswords() + "[components]\nfrontpage:2=\n");
    auto r = testsupport::runQuarn(
        {L"ROOT", L"--permissions", L"--list", L"--file=" + tree.path(L"vhosts\\site")});
    ASSERT_EQ(r.exitCode, 0u) << r.out;
    ASSERT_FALSE(r.out.empty());
    EXPECT_EQ(r.out.back(), '\n');

    xml::XmlDocument document;
    document.loadText(text::fromUtf8(r.out), L"output");
    xml::XmlElement root = document.root();
    EXPECT_EQ(root.text(L"Type"), L"Folder");
    std::optional<xml::XmlElement> acl = root.child(L"Acl");
    ASSERT_TRUE(acl);
    std::vector<std::wstring> names;
    for (const xml::XmlElement& ace : acl->children(L"Ace"))
        names.push_back(ace.text(L"Name"));
    const std::wstring user = security::Sid::fromString(L"S-1-5-21-0-0-0-1000").lookup().name;
    for (const std::wstring& expected : {user, std::wstring(L"SYSTEM"), std::wstring(L"Everyone")})
        EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end()) << text::toUtf8(expected);
    std::optional<xml::XmlElement> accounts = root.child(L"Accounts");
    ASSERT_TRUE(accounts);
    EXPECT_GE(accounts->children(L"Account").size(), 3u);
}

} // namespace
