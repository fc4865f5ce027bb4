#include "app/Text.h"
#include "support/DatabaseFixtures.h"
#include "support/PolicyFixtures.h"
#include "support/Process.h"
#include "support/Standin.h"
#include "support/XmlOutline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

using testsupport::runQuarn;
using testsupport::xmlOutline;

// A sample hosting tree: a site with a few hundred entries in nested folders, the folders the
// panel keeps for itself, and files of several kinds.
class XmlCommandsE2e : public ::testing::Test {
protected:
    XmlCommandsE2e() : tree(L"C:") {
        for (const wchar_t* hidden : {L"statistics", L"error_docs", L"web_users", L"httpdocs\\_vti_cnf",
                                      L"httpdocs\\images", L"httpdocs\\a0\\images"})
            tree.folder(L"vhosts\\example.com\\" + std::wstring(hidden));
        const char gif[] = "GIF89a\x01\x00\x01\x00\x00\x00\x00;";
        for (int a = 0; a < 6; ++a)
            for (int b = 0; b < 5; ++b) {
                std::wstring dir = L"vhosts\\example.com\\httpdocs\\a" + std::to_wstring(a) + L"\\b" + std::to_wstring(b);
                tree.file(dir + L"\\page.html", "<html><body>page</body></html>\n");
                tree.file(dir + L"\\notes.TXT", "plain notes\n");
                tree.file(dir + L"\\pixel.gif", std::string(gif, sizeof gif - 1));
                tree.file(dir + L"\\README", "read me\n");
                for (int c = 0; c < 4; ++c)
                    tree.file(dir + L"\\c" + std::to_wstring(c) + L"\\data.bin", std::string("\x00\x01\x02", 3));
            }
    }
    std::string settings() const {
        return "[strings]\nPRODUCT_ROOT_D=" + text::toUtf8(tree.path(L"product")) +
               "\nPRODUCT_DATA_D=" + text::toUtf8(tree.path(L"data")) +
               "\nHTTPD_VHOSTS_D=" + text::toUtf8(tree.path(L"vhosts")) +
               "\nCATALINA_HOME=\nDUMP_D=\n" + testsupport::testDatabaseStrings() + testsupport::testDatabasePasswords() +
               "[components]\nfrontpage:2=\n";
    }
    std::wstring site(const std::wstring& relative) const { return tree.path(L"vhosts\\example.com" + relative); }
    testsupport::ScratchTree tree;
};

TEST_F(XmlCommandsE2e, SubtreeListsTheVisibleFoldersInCodeUnitOrder) {
    testsupport::PanelStandin standin(settings());
    auto r = runQuarn({L"ROOT", L"subtree", site(L"")});
    ASSERT_EQ(r.exitCode, 0u) << r.out;
    std::vector<std::string> expected{"/httpdocs"};
    for (int a = 0; a < 6; ++a) {
        std::string first = "/httpdocs/a" + std::to_string(a);
        expected.push_back(first);
        if (a == 0) expected.push_back(first + "/images"); // hidden only directly inside a first-level folder
        for (int b = 0; b < 5; ++b) {
            expected.push_back(first + "/b" + std::to_string(b));
            for (int c = 0; c < 4; ++c)
                expected.push_back(first + "/b" + std::to_string(b) + "/c" + std::to_string(c));
        }
    }
    std::sort(expected.begin(), expected.end());
    auto outline = xmlOutline(r.out);
    ASSERT_EQ(outline.size(), expected.size() + 1) << r.out.substr(0, 400);
    EXPECT_EQ(outline[0].name, "subtree");
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(outline[i + 1].name, "directory");
        EXPECT_EQ(outline[i + 1].attributes, (testsupport::XmlAttributes{{"name", expected[i]}}));
    }
}

TEST_F(XmlCommandsE2e, TreeWithAndWithoutRecursionAndFileInfo) {
    testsupport::PanelStandin standin(settings());
    auto r = runQuarn({L"ROOT", L"--tree", L"--path=" + site(L"\\httpdocs\\a1\\b2")});
    ASSERT_EQ(r.exitCode, 0u) << r.out;
    auto outline = xmlOutline(r.out);
    // Tree, the folder, ".", "..", four unopened subfolders, four files.
    ASSERT_EQ(outline.size(), 12u) << r.out;
    EXPECT_EQ(outline[1].attributes[0], (std::pair<std::string, std::string>{"Name", text::toUtf8(site(L"\\httpdocs\\a1\\b2"))}));
    std::vector<std::string> names;
    for (size_t i = 2; i < outline.size(); ++i) {
        EXPECT_EQ(outline[i].depth, 2);
        names.push_back(outline[i].name + ":" + testsupport::attributeOf(outline[i], "Name"));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Folder:.", "Folder:..", "Folder:c0", "Folder:c1", "Folder:c2",
                                               "Folder:c3", "File:notes.TXT", "File:page.html", "File:pixel.gif",
                                               "File:README"}));

    r = runQuarn({L"ROOT", L"--tree", L"--path=" + site(L"\\httpdocs"), L"--recursive", L"--file-info"});
    ASSERT_EQ(r.exitCode, 0u) << r.out.substr(0, 400);
    outline = xmlOutline(r.out);
    size_t folders = 0, dots = 0, files = 0;
    for (auto& e : outline) {
        if (e.name == "File") {
            ++files;
            EXPECT_EQ(e.attributes.size(), 6u);
            std::string name = testsupport::attributeOf(e, "Name");
            if (name == "notes.TXT") {
                EXPECT_EQ(testsupport::attributeOf(e, "Code"), "ASCII");
                EXPECT_EQ(testsupport::attributeOf(e, "Subtype"), "TXT");
                EXPECT_EQ(testsupport::attributeOf(e, "Size"), "12");
            }
            if (name == "pixel.gif") {
                EXPECT_EQ(testsupport::attributeOf(e, "Type").rfind("GIF image", 0), 0u);
            }
        } else if (e.name == "Folder") {
            std::string name = testsupport::attributeOf(e, "Name");
            (name == "." || name == ".." ? dots : folders)++;
        }
    }
    // httpdocs, _vti_cnf, images, 6 a, a0\images, 30 b, 120 c; 6*5*4 + 120 files.
    EXPECT_EQ(folders, 1u + 2 + 6 + 1 + 30 + 120);
    EXPECT_EQ(dots, 2 * folders);
    EXPECT_EQ(files, 30u * 4 + 120);
}

TEST_F(XmlCommandsE2e, ExInfoAndTheExtendedOperations) {
    testsupport::PanelStandin standin(settings());
    std::wstring page = site(L"\\httpdocs\\a2\\b3\\page.html");
    auto r = runQuarn({L"ROOT", L"--ex-info", L"--path=" + page, L"--long-path", L"--sharing-access"});
    ASSERT_EQ(r.exitCode, 0u) << r.out;
    auto outline = xmlOutline(r.out);
    ASSERT_EQ(outline.size(), 1u) << r.out;
    EXPECT_EQ(outline[0].attributes, (testsupport::XmlAttributes{{"Name", text::toUtf8(page)},
                                                                 {"LongPath", text::toUtf8(page)},
                                                                 {"Delete", "Enabled"}}));
    r = runQuarn({L"ROOT", L"--ex-copy", L"--source=" + site(L"\\httpdocs\\a2"), L"--destination=" + site(L"\\copy")});
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(r.out, "");
    r = runQuarn({L"ROOT", L"--ex-remove", L"--path=" + site(L"\\copy")});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(GetFileAttributesW(site(L"\\copy").c_str()), INVALID_FILE_ATTRIBUTES);
    r = runQuarn({L"ROOT", L"--ex-remove", L"--path=" + tree.path(L"product")});
    outline = xmlOutline(r.out);
    ASSERT_EQ(outline.size(), 1u) << r.out;
    EXPECT_EQ(testsupport::attributeOf(outline[0], "ErrorCode"), "path_is_not_allowed");
}

TEST_F(XmlCommandsE2e, EffectivePermissionsStreamsOneChildPerEntry) {
    testsupport::PanelStandin standin(settings());
    auto r = runQuarn({L"ROOT", L"--effective-permissions", L"--path=" + site(L"\\httpdocs\\a3\\b1"),
                       L"--with-child-objects"});
    ASSERT_EQ(r.exitCode, 0u) << r.out;
    auto outline = xmlOutline(r.out);
    // EffectivePermissions, its own two AccessMask elements, then 8 children of three elements each.
    ASSERT_EQ(outline.size(), 3u + 8 * 3) << r.out;
    EXPECT_EQ(testsupport::attributeOf(outline[3], "Path"), "c0");
    EXPECT_EQ(testsupport::attributeOf(outline[2], "ReadPermissions"), "True");
}

// The permission listing on the elements of --tree and on PathInfo, read from the Wine drive with
// the panel's inheritance service and database.
TEST_F(XmlCommandsE2e, TreeAndExInfoCarryThePermissionListing) {
    testsupport::PanelStandin standin(settings());
    auto r = runQuarn({L"ROOT", L"--tree", L"--path=" + site(L"\\httpdocs\\a1\\b2"), L"--permissions"});
    ASSERT_EQ(r.exitCode, 0u) << r.out;
    auto outline = xmlOutline(r.out);
    ASSERT_GE(outline.size(), 2u) << r.out;
    size_t listed = 0;
    for (const auto& e : outline) {
        if (e.name != "File" && e.name != "Folder") continue;
        const std::string name = testsupport::attributeOf(e, "Name");
        if (name == "." || name == "..") continue;
        ++listed;
        EXPECT_EQ(testsupport::attributeOf(e, "Type"), e.name) << name;
        EXPECT_NE(testsupport::attributeOf(e, "NTAuthorityDomain"), "(absent)") << name;
    }
    // b2 itself, c0..c3 (not opened), page.html, notes.TXT, pixel.gif, README.
    EXPECT_EQ(listed, 1u + 4 + 4);
    // Owner, Inherit, Acl and Accounts follow the contents of every listed element.
    EXPECT_EQ(std::count_if(outline.begin(), outline.end(), [](const auto& e) { return e.name == "Accounts"; }), 9);
    EXPECT_EQ(outline.back().name, "Account");

    r = runQuarn({L"ROOT", L"--ex-info", L"--path=" + site(L"\\httpdocs"), L"--permissions", L"--delete-access"});
    ASSERT_EQ(r.exitCode, 0u) << r.out;
    outline = xmlOutline(r.out);
    ASSERT_GE(outline.size(), 4u) << r.out;
    EXPECT_EQ(testsupport::attributeOf(outline[0], "Type"), "Folder");
    EXPECT_EQ(testsupport::attributeOf(outline[0], "Error"), "(absent)") << r.out;
    EXPECT_EQ(outline[1].name, "Owner");
    EXPECT_EQ(outline[2].name, "Inherit");
    EXPECT_EQ(outline[3].name, "Acl");
}

} // namespace
