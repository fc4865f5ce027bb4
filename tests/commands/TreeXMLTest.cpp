#include "app/Text.h"
#include "support/FileFixtures.h"
#include "support/XmlOutline.h"

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

} // namespace
