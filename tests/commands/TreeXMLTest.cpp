#include "commands/xml/TreeXML.h"

#include "app/Text.h"
#include "security/Ace.h"
#include "support/FileFixtures.h"
#include "support/ListingSources.h"
#include "support/XmlOutline.h"
#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

namespace {

using testsupport::Call;
using testsupport::outlineText;
using testsupport::xmlOutline;

void setSeconds(const std::wstring& path, int64_t seconds) {
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ULONGLONG ticks = static_cast<ULONGLONG>(seconds + 11644473600LL) * 10000000ULL;
    FILETIME t{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SetFileTime(h, nullptr, nullptr, &t);
    CloseHandle(h);
}

class Tree : public testsupport::FileCommandTest {
protected:
    // D holds f.txt (3 bytes) and s, s holds inner.txt (5 bytes); times 1000, 2000, 3000, 4000.
    Tree() {
        tree.file(L"vhosts\\D\\f.txt", "abc");
        tree.file(L"vhosts\\D\\s\\inner.txt", "inner");
        setSeconds(site(L"D\\s\\inner.txt"), 4000);
        setSeconds(site(L"D\\s"), 3000);
        setSeconds(site(L"D\\f.txt"), 2000);
        setSeconds(site(L"D"), 1000);
    }
    std::string outline(const std::vector<std::wstring>& arguments) {
        auto r = run(arguments);
        EXPECT_EQ(r.exitCode, 0) << r.out;
        return outlineText(xmlOutline(r.out));
    }
    std::string given() const { return text::toUtf8(site(L"D")); }
};

TEST_F(Tree, AFolderWithoutRecursionShowsItsSubfoldersUnopened) {
    EXPECT_EQ(outline({L"--tree", L"--path=" + site(L"D")}),
              "Tree\n"
              "  Folder Name=\"" + given() + "\" LastWriteTime=\"1000\"\n"
              "    Folder Name=\".\" LastWriteTime=\"1000\"\n"
              "    Folder Name=\"..\" LastWriteTime=\"1000\"\n"
              "    Folder Name=\"s\" LastWriteTime=\"3000\"\n"
              "    File Size=\"3\" Name=\"f.txt\" LastWriteTime=\"2000\"\n");
}

TEST_F(Tree, RecursionOpensEveryFolder) {
    EXPECT_EQ(outline({L"--tree", L"--path=" + site(L"D"), L"--recursive"}),
              "Tree\n"
              "  Folder Name=\"" + given() + "\" LastWriteTime=\"1000\"\n"
              "    Folder Name=\".\" LastWriteTime=\"1000\"\n"
              "    Folder Name=\"..\" LastWriteTime=\"1000\"\n"
              "    Folder Name=\"s\" LastWriteTime=\"3000\"\n"
              "      Folder Name=\".\" LastWriteTime=\"3000\"\n"
              "      Folder Name=\"..\" LastWriteTime=\"3000\"\n"
              "      File Size=\"5\" Name=\"inner.txt\" LastWriteTime=\"4000\"\n"
              "    File Size=\"3\" Name=\"f.txt\" LastWriteTime=\"2000\"\n");
}

TEST_F(Tree, FilesAndFoldersSelectWhatIsListed) {
    const std::string filesOnly = "Tree\n"
                                  "  Folder Name=\"" + given() + "\" LastWriteTime=\"1000\"\n"
                                  "    File Size=\"3\" Name=\"f.txt\" LastWriteTime=\"2000\"\n";
    EXPECT_EQ(outline({L"--tree", L"--path=" + site(L"D"), L"--files"}), filesOnly);
    EXPECT_EQ(outline({L"--tree", L"--path=" + site(L"D"), L"--files", L"--recursive"}), filesOnly);
    EXPECT_EQ(outline({L"--tree", L"--path=" + site(L"D"), L"--folders", L"--files"}), filesOnly);
    EXPECT_EQ(outline({L"--tree", L"--path=" + site(L"D"), L"--folders"}),
              "Tree\n"
              "  Folder Name=\"" + given() + "\" LastWriteTime=\"1000\"\n"
              "    Folder Name=\".\" LastWriteTime=\"1000\"\n"
              "    Folder Name=\"..\" LastWriteTime=\"1000\"\n"
              "    Folder Name=\"s\" LastWriteTime=\"3000\"\n");
}

TEST_F(Tree, AFileIsOneElement) {
    EXPECT_EQ(outline({L"--tree", L"--path=" + site(L"D\\f.txt"), L"--recursive"}),
              "Tree\n"
              "  File Size=\"3\" Name=\"" + given() + "\\f.txt\" LastWriteTime=\"2000\"\n");
}

TEST_F(Tree, FileInfoIsDetectedOncePerExtensionIgnoringCase) {
    tree.file(L"vhosts\\T\\a.txt", "plain text\n");
    tree.file(L"vhosts\\T\\b.TXT", std::string("\x00\x01\x02\x03", 4));
    tree.file(L"vhosts\\T\\noext1", "plain text\n");
    tree.file(L"vhosts\\T\\noext2", std::string("\x00\x01\x02\x03", 4));
    auto outline = xmlOutline(run({L"--tree", L"--path=" + site(L"T"), L"--file-info"}).out);
    ASSERT_EQ(outline.size(), 8u);
    std::map<std::string, testsupport::XmlElement> files;
    for (auto& e : outline)
        if (e.name == "File") files[testsupport::attributeOf(e, "Name")] = e;
    ASSERT_EQ(files.size(), 4u);
    EXPECT_EQ(files["a.txt"].attributes.size(), 6u);
    EXPECT_EQ(files["a.txt"].attributes[0].first, "Code");
    EXPECT_EQ(files["a.txt"].attributes[1].first, "Type");
    EXPECT_EQ(files["a.txt"].attributes[2].first, "Subtype");
    EXPECT_EQ(files["a.txt"].attributes[3].first, "Size");
    // b.TXT is met after a.txt and takes its triple, though its content is no text.
    for (const char* name : {"Code", "Type", "Subtype"})
        EXPECT_EQ(testsupport::attributeOf(files["b.TXT"], name), testsupport::attributeOf(files["a.txt"], name));
    EXPECT_EQ(testsupport::attributeOf(files["a.txt"], "Subtype"), "txt");
    // Files without an extension are each examined.
    EXPECT_NE(testsupport::attributeOf(files["noext1"], "Type"), testsupport::attributeOf(files["noext2"], "Type"));
    EXPECT_EQ(substitute.calls(Call::getBinaryType), 3);
}

// Kinds that end in a line feed keep it: as a character reference in the text, as a line feed
// when a parser reads the document back.
TEST_F(Tree, ALineFeedInAnAttributeSurvivesTheRoundTrip) {
    tree.file(L"vhosts\\G\\p.gif", "GIF89a");
    auto r = run({L"--tree", L"--path=" + site(L"G\\p.gif"), L"--file-info"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("<File Code=\"\" Type=\"GIF image&#10;\" Subtype=\"\" Size=\"6\""), std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find('\n'), std::string::npos) << r.out;
    xml::XmlDocument reread;
    reread.loadText(text::fromUtf8(r.out), L"tree");
    std::optional<xml::XmlElement> file = reread.root().child(L"File");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->text(L"Type"), L"GIF image\n");
}

TEST_F(Tree, MissingOrRefusedPathsEndWithAMessage) {
    auto r = run({L"--tree", L"--path=" + site(L"none")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("Unable to get file information for the (" + text::toUtf8(site(L"none")) + ")", 0), 0u)
        << r.out;
    r = run({L"--tree", L"--path=" + tree.path(L"outside")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Path is not allowed"), std::string::npos);
    r = run({L"--tree"});
    EXPECT_EQ(r.exitCode, 1);
}

TEST_F(Tree, AJunctionBackUpIsShownButNotOpened) {
    tree.folder(L"vhosts\\D\\s\\loop");
    substitute.addJunction(site(L"D\\s\\loop"), site(L"D"));
    setSeconds(site(L"D\\s"), 3000);
    auto outline = xmlOutline(run({L"--tree", L"--path=" + site(L"D"), L"--recursive", L"--folders"}).out);
    std::string text = outlineText(outline);
    EXPECT_NE(text.find("      Folder Name=\"loop\""), std::string::npos) << text;
    EXPECT_EQ(outline.size(), 8u) << text; // Tree, D, ., .., s, ., .., loop: loop has no children
    EXPECT_EQ(outline.back().name, "Folder");
    EXPECT_EQ(testsupport::attributeOf(outline.back(), "Name"), "loop");
}

// Each element carries the listing of --permissions --list: its attributes after the element's
// own, its children after the folder's contents. "." and ".." carry nothing.
TEST_F(Tree, PermissionsListEveryElementAfterItsOwnContents) {
    using security::Ace;
    const security::Sid other = security::Sid::fromString(L"S-1-5-21-7-8-9-1002");
    setDacl(site(L"D"), tokenUser(), {Ace::allowed(0x1F01FF, tokenUser(), 0)});
    setDacl(site(L"D\\s"), tokenUser(), {Ace::allowed(0x1200A9, other, 0), Ace::denied(0x2, other, 0)});
    setDacl(site(L"D\\f.txt"), other, {Ace::allowed(0x1200A9, tokenUser(), 0)});
    auto r = testsupport::runWithTestListing<TreeXML>({L"--tree", L"--path=" + site(L"D"), L"--permissions"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    auto outline = xmlOutline(r.out);
    std::string shape;
    for (const auto& e : outline)
        shape += std::string(2 * e.depth, ' ') + e.name + " " + testsupport::attributeOf(e, "Name") + "\n";
    // Neither SID resolves: the accounts are named by them. The table lives for the whole run, so
    // every later element names the accounts met before it.
    const std::string user = "S-1-5-21-7-8-9-1001", otherName = "S-1-5-21-7-8-9-1002";
    EXPECT_EQ(shape, "Tree (absent)\n"
                     "  Folder " + given() + "\n"
                     "    Folder .\n"
                     "    Folder ..\n"
                     "    Folder s\n"
                     "      Owner " + user + "\n"
                     "      Inherit (absent)\n"
                     "      Acl (absent)\n"
                     "        Ace " + otherName + "\n"
                     "      Accounts (absent)\n"
                     "        Account " + otherName + "\n"
                     "        Account " + user + "\n"
                     "    File f.txt\n"
                     "      Owner " + otherName + "\n"
                     "      Inherit (absent)\n"
                     "      Acl (absent)\n"
                     "        Ace " + user + "\n"
                     "      Accounts (absent)\n"
                     "        Account " + otherName + "\n"
                     "        Account " + user + "\n"
                     "    Owner " + user + "\n"
                     "    Inherit (absent)\n"
                     "    Acl (absent)\n"
                     "      Ace " + user + "\n"
                     "    Accounts (absent)\n"
                     "      Account " + otherName + "\n"
                     "      Account " + user + "\n")
        << r.out;
    ASSERT_GE(outline.size(), 27u);
    // The element's own attributes come first, the listing's after them.
    std::vector<std::string> names;
    for (const auto& [name, value] : outline[1].attributes)
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"Name", "LastWriteTime", "Type", "Change", "LocalDomain",
                                               "BuiltinDomain", "NTAuthorityDomain"}));
    EXPECT_EQ(testsupport::attributeOf(outline[1], "Type"), "Folder");
    EXPECT_EQ(testsupport::attributeOf(outline[12], "Type"), "File");
    EXPECT_EQ(testsupport::attributeOf(outline[12], "Size"), "3");
    EXPECT_EQ(outline[2].attributes.size(), 2u); // "." is Name and LastWriteTime only
    // s: the other account may read and is denied writing; f.txt: the caller may read only.
    EXPECT_EQ(outline[8].attributes, (testsupport::XmlAttributes{{"Domain", testsupport::attributeOf(outline[8], "Domain")},
                                                                 {"Name", testsupport::attributeOf(outline[8], "Name")},
                                                                 {"Type", testsupport::attributeOf(outline[8], "Type")},
                                                                 {"Read", "allow"},
                                                                 {"Execute", "allow"},
                                                                 {"Write", "deny"}}));
    EXPECT_EQ(testsupport::attributeOf(outline[16], "Read"), "allow");
    EXPECT_EQ(testsupport::attributeOf(outline[16], "Write"), "");
    // The caller owns D (an owner may always change the permissions); f.txt it may only read.
    EXPECT_EQ(testsupport::attributeOf(outline[12], "Change"), "disable");
    EXPECT_EQ(testsupport::attributeOf(outline[1], "Change"), "enable");
}

TEST_F(Tree, AnUnreadablePermissionEndsTheCommandWithoutADocument) {
    substitute.failNext(testsupport::Call::getNamedSecurityInfo, site(L"D\\f.txt"), ERROR_ACCESS_DENIED);
    auto r = testsupport::runWithTestListing<TreeXML>({L"--tree", L"--path=" + site(L"D"), L"--permissions"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.find("<Tree"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Unable to get the object (" + text::toUtf8(site(L"D\\f.txt")) + ") security info"),
              std::string::npos)
        << r.out;
}

// The document is spooled to a file of the program's own and reaches the output only when the
// walk has succeeded; the file is gone after every run.
TEST_F(Tree, AWalkThatFailsHalfWayShowsItsMessageAloneAndLeavesNoSpool) {
    substitute.failNext(Call::findFirstFile, site(L"D\\s\\*.*"), ERROR_ACCESS_DENIED, 100);
    auto r = run({L"--tree", L"--path=" + site(L"D"), L"--recursive"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.find("<"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(text::toUtf8(site(L"D\\s"))), std::string::npos) << r.out;
    r = run({L"--tree", L"--path=" + site(L"D")});
    EXPECT_EQ(r.exitCode, 0);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(site(L"quarn-*").c_str(), &data);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE) << text::toUtf8(data.cFileName);
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
}

TEST_F(Tree, ADocumentOfManyPiecesArrivesWhole) {
    const std::string name(120, 'n');
    for (int i = 0; i < 1500; ++i)
        tree.file(L"vhosts\\big\\" + text::fromUtf8(name) + std::to_wstring(i) + L".txt", "x");
    auto r = run({L"--tree", L"--path=" + site(L"big")});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_GT(r.out.size(), 3u << 16); // more than three pieces of the spool
    auto outline = xmlOutline(r.out);
    ASSERT_EQ(outline.size(), 2u + 2 + 1500) << r.out.substr(0, 300);
    EXPECT_EQ(testsupport::attributeOf(outline.back(), "Size"), "1");
    EXPECT_EQ(testsupport::attributeOf(outline.back(), "Name").substr(0, 120), name);
}

TEST_F(Tree, WithoutAPlaceForTheSpoolTheCommandEndsWithAMessage) {
    substitute.setTempPath(tree.path(L"gone\\"));
    auto r = run({L"--tree", L"--path=" + site(L"D")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("Unable to create temporary file in (" + text::toUtf8(tree.path(L"gone\\")) + ")", 0), 0u)
        << r.out;
    EXPECT_EQ(r.out.find("<"), std::string::npos) << r.out;
}

} // namespace
