// Loading caller documents: what the loader is set to (read back, since Wine's MSXML neither
// fetches external entities nor enforces the DTD switch) and what hostile documents do.
#include "xml/XmlDocument.h"

#include "permissions/PermissionDocument.h"
#include "support/FailureOf.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using namespace permissions;
using xml::XmlDocument;
using testsupport::failureOf;

TEST(XmlDocument, LoaderResolvesNothingExternalAndProhibitsDtds) {
    XmlDocument document;
    EXPECT_FALSE(document.resolveExternals());
    EXPECT_FALSE(document.validateOnParse());
    // Wine accepts ProhibitDTD but cannot read it back; Windows answers what was set.
    if (std::optional<VARIANT> prohibit = document.property(L"ProhibitDTD")) {
        EXPECT_EQ(prohibit->vt, VT_BOOL);
        EXPECT_EQ(prohibit->boolVal, VARIANT_TRUE);
    }
    if (std::optional<VARIANT> depth = document.property(L"MaxElementDepth")) {
        VariantChangeType(&*depth, &*depth, 0, VT_I4);
        EXPECT_EQ(depth->lVal, XmlDocument::kMaxElementDepth);
    }
}

// Documents the commands build hold names from the file system: they come out as text, in a
// document made with the same settings as a caller's.
TEST(XmlDocument, BuiltDocumentsAreHardenedAndHoldHostileNamesAsText) {
    XmlDocument document;
    xml::XmlElement root = document.createRoot(L"subtree");
    EXPECT_FALSE(document.resolveExternals());
    EXPECT_FALSE(document.validateOnParse());
    const std::wstring name = L"<!DOCTYPE x [<!ENTITY e SYSTEM \"file:///c:/\">]>&e;\"'";
    root.append(L"directory").set(L"name", name);
    const std::wstring text = document.xml();
    EXPECT_EQ(text.find(L"<!DOCTYPE"), std::wstring::npos) << text;

    XmlDocument reread;
    reread.loadText(text, L"built");
    std::optional<xml::XmlElement> directory = reread.root(L"subtree", L"built").child(L"directory");
    ASSERT_TRUE(directory);
    EXPECT_EQ(directory->text(L"name"), name);
}

TEST(XmlDocument, NoRootIsWrongXml) {
    for (const wchar_t* text : {L"", L"<Permissions", L"just text", L"<?xml version=\"1.0\"?>"}) {
        XmlDocument document;
        auto e = failureOf<std::runtime_error>([&] { document.loadText(text, L"shown value"); });
        EXPECT_STREQ(e.what(), "Wrong XML shown value");
    }
    XmlDocument document;
    auto e = failureOf<std::runtime_error>(
        [&] { document.loadFile(paths::NormalPath(L"C:\\no\\such\\file.xml"), L"C:\\no\\such\\file.xml"); });
    EXPECT_STREQ(e.what(), "Wrong XML C:\\no\\such\\file.xml");
}

TEST(XmlDocument, HostileDocumentsExpandNothingAndEndQuickly) {
    const std::wstring external = L"<!DOCTYPE P [<!ENTITY x SYSTEM \"file:///C:/windows/win.ini\">]>"
                                  L"<Permissions Type=\"File\"><Acl><Ace Name=\"&x;\"/></Acl></Permissions>";
    // The billion-laughs bomb: ten levels of ten references.
    std::wstring lol = L"<!DOCTYPE P [<!ENTITY a \"aaaaaaaaaa\">";
    for (char c = 'b'; c <= 'k'; ++c) {
        lol += std::wstring(L"<!ENTITY ") + wchar_t(c) + L" \"";
        for (int i = 0; i < 10; ++i)
            lol += std::wstring(L"&") + wchar_t(c - 1) + L";";
        lol += L"\">";
    }
    lol += L"]><Permissions><Acl><Ace Name=\"&k;\"/></Acl></Permissions>";
    std::wstring deep = L"<Permissions>";
    for (int i = 0; i < 100; ++i)
        deep += L"<Acl>";
    for (int i = 0; i < 100; ++i)
        deep += L"</Acl>";
    deep += L"</Permissions>";
    for (const std::wstring& text : {external, lol, deep}) {
        auto start = std::chrono::steady_clock::now();
        XmlDocument document;
        try {
            document.loadText(text, L"x");
            for (const SimpleEntry& entry : readSimpleAcl(document.root())) {
                EXPECT_EQ(entry.account.name.find(L"[fonts]"), std::wstring::npos);
                EXPECT_LT(entry.account.name.size(), 1000000u);
            }
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "Wrong XML x");
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    }
}

// A file name is a file name: "%41" is no "A", "%5C" no backslash.
TEST(XmlDocument, AFileIsReadAsTheFileItNames) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"quarn-xmldoc-test";
    CreateDirectoryW(folder.c_str(), nullptr);
    auto write = [](const std::wstring& path, const std::string& content) {
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        CloseHandle(h);
    };
    write(folder + L"\\a%41.xml", "<Permissions Type=\"Percent\"/>");
    write(folder + L"\\aA.xml", "<Permissions Type=\"Decoded\"/>");
    write(folder + L"\\utf16.xml", std::string("\xFF\xFE<\0P\0/\0>\0", 10));
    XmlDocument percent;
    percent.loadFile(paths::NormalPath(folder + L"\\a%41.xml"), L"a%41.xml");
    EXPECT_EQ(percent.root().text(L"Type"), L"Percent");
    XmlDocument utf16;
    utf16.loadFile(paths::NormalPath(folder + L"\\utf16.xml"), L"utf16.xml");
    EXPECT_EQ(utf16.root().name(), L"P");
    // "..%5C" names a folder called so, which does not exist: nothing above is read.
    XmlDocument climbing;
    auto e = failureOf<std::runtime_error>(
        [&] { climbing.loadFile(paths::NormalPath(folder + L"\\sub\\..%5Ca%41.xml"), L"climbing"); });
    EXPECT_STREQ(e.what(), "Wrong XML climbing");
    for (const wchar_t* name : {L"a%41.xml", L"aA.xml", L"utf16.xml"})
        DeleteFileW((folder + L"\\" + name).c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST(XmlDocument, OversizedTextIsRefusedBeforeParsing) {
    std::wstring text = L"<Permissions>" + std::wstring(3 * 1024 * 1024, L' ') + L"</Permissions>";
    XmlDocument document;
    auto e = failureOf<std::runtime_error>([&] { document.loadText(text, L"x"); });
    EXPECT_STREQ(e.what(), "Wrong XML x (larger than 4096 KB)");
}

TEST(XmlDocument, TenThousandAcesAreRefused) {
    std::wstring text = L"<Permissions><Acl>";
    for (int i = 0; i < 10000; ++i)
        text += L"<Ace Domain=\"VM\" Name=\"a\" Read=\"allow\"/>";
    text += L"</Acl></Permissions>";
    auto start = std::chrono::steady_clock::now();
    XmlDocument document;
    document.loadText(text, L"x");
    auto e = failureOf<std::runtime_error>([&] { readSimpleAcl(document.root()); });
    EXPECT_STREQ(e.what(), "Too many Ace elements in the document");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

} // namespace
