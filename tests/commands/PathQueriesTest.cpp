#include "app/Text.h"
#include "support/FileCommandFixture.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

using testsupport::Call;

class PathQueries : public testsupport::FileCommandFixture {
protected:
    std::string display(const std::wstring& path) const { return text::toUtf8(path); }
};

const char* const kGuid = "[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}";

void setLastWrite(const std::wstring& path, int64_t seconds) {
    ULARGE_INTEGER u;
    u.QuadPart = static_cast<ULONGLONG>(seconds + 11644473600LL) * 10000000ULL;
    FILETIME t{u.LowPart, u.HighPart};
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    SetFileTime(h, nullptr, nullptr, &t);
    CloseHandle(h);
}

std::vector<std::string> names(const std::string& listing) {
    std::vector<std::string> out;
    for (size_t at = 0; at < listing.size();) {
        size_t end = listing.find('\n', at);
        out.push_back(listing.substr(at, listing.find('\t', at) - at));
        at = end + 1;
    }
    return out;
}

// --- list

TEST_F(PathQueries, ListLineFormat) {
    std::wstring file = tree.file(L"vhosts\\site\\index.html", std::string(1234, 'x'));
    setLastWrite(file, 981209109);
    auto r = quarn({L"list", L"files", site(L"site")});
    EXPECT_EQ(r.out, "index.html\t981209109\t1234\t\"\"\t\"\"\t000\n");
    EXPECT_EQ(r.exitCode, 0);
}

TEST_F(PathQueries, ListModes) {
    tree.folder(L"vhosts\\empty");
    EXPECT_EQ(names(quarn({L"list", L"dirs", site(L"empty")}).out), (std::vector<std::string>{".", ".."}));
    EXPECT_EQ(quarn({L"list", L"files", site(L"empty")}).out, "");

    tree.file(L"vhosts\\site\\b.txt", "b");
    tree.folder(L"vhosts\\site\\a-dir");
    tree.file(L"vhosts\\site\\a.txt", "a");
    tree.folder(L"vhosts\\site\\z-dir");
    EXPECT_EQ(names(quarn({L"list", L"both", site(L"site")}).out),
              (std::vector<std::string>{".", "..", "a-dir", "z-dir", "a.txt", "b.txt"}));
    EXPECT_EQ(names(quarn({L"list", L"files", site(L"site")}).out), (std::vector<std::string>{"a.txt", "b.txt"}));
    // A file or a missing path lists nothing.
    EXPECT_EQ(quarn({L"list", L"both", site(L"site\\a.txt")}).out, "");
    EXPECT_EQ(quarn({L"list", L"both", site(L"missing")}).out, "");
}

TEST_F(PathQueries, ListRefusals) {
    auto r = quarn({L"list", L"Both", site(L"")});
    EXPECT_EQ(r.out, "The mode (Both) is invalid");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(quarn({L"list", site(L"")}).out, "Usage:\nlist (dirs | files | both) path\n");
    tree.file(L"outside\\secret.txt", "s");
    r = quarn({L"list", L"both", tree.path(L"outside")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.find("secret.txt"), std::string::npos);
    EXPECT_NE(r.out.find("Path is not allowed"), std::string::npos) << r.out;
}

// --- size

TEST_F(PathQueries, SizeOfFilesAndTrees) {
    EXPECT_EQ(quarn({L"size", tree.file(L"vhosts\\empty.txt")}).out, "0\n");
    tree.file(L"vhosts\\site\\a.txt", std::string(1000, 'a'));
    tree.file(L"vhosts\\site\\sub\\b.txt", std::string(234, 'b'));
    tree.file(L"vhosts\\site\\sub\\deeper\\c.txt", std::string(5, 'c'));
    tree.folder(L"vhosts\\site\\emptydir");
    auto r = quarn({L"size", site(L"site")});
    EXPECT_EQ(r.out, "1239\n");
    EXPECT_EQ(r.exitCode, 0);
    // Trailing separators and "\." are dropped before anything else.
    EXPECT_EQ(quarn({L"size", site(L"site\\sub\\.")}).out, "239\n");
    EXPECT_EQ(quarn({L"size", site(L"site\\a.txt")}).out, "1000\n");
}

TEST_F(PathQueries, SizeFailures) {
    auto r = quarn({L"size", site(L"missing")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("Unable to read directory (" + display(site(L"missing")) + "): (2) ", 0), 0u) << r.out;
    // A pattern is no path: it would measure whichever entry it matched first.
    tree.file(L"vhosts\\big.txt", "0123456789");
    r = quarn({L"size", site(L"b*")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Unable to read directory"), std::string::npos) << r.out;
    // A directory that cannot be enumerated deeper down fails the whole sum.
    tree.file(L"vhosts\\site\\sub\\x.txt", "x");
    substitute.failNext(Call::findFirstFile, site(L"site\\sub\\*.*"), ERROR_ACCESS_DENIED);
    r = quarn({L"size", site(L"site")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("Unable to read directory (" + display(site(L"site\\sub")) + "): (5) ", 0), 0u) << r.out;
    EXPECT_EQ(quarn({L"size"}).out, "Usage:\nsize path\n");
    EXPECT_NE(quarn({L"size", tree.path(L"outside")}).out.find("Path is not allowed"), std::string::npos);
}

// --- mv2tempnam

TEST_F(PathQueries, MoveToTemporaryNameWithAndWithoutPrefix) {
    std::wstring source = tree.file(L"vhosts\\upload.tmp", "payload");
    std::wstring into = tree.folder(L"vhosts\\incoming");
    auto r = quarn({L"mv2tempnam", source, into, L"abc"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    std::smatch m;
    std::string out = r.out;
    ASSERT_TRUE(std::regex_match(out, m, std::regex(std::regex_replace(display(into), std::regex(R"([\\.])"), R"(\$&)") +
                                                    R"(\\\{abc-()" + kGuid + R"()\}\n)")))
        << r.out;
    EXPECT_EQ(GetFileAttributesW(source.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(testsupport::readBytes(text::fromUtf8(out.substr(0, out.size() - 1))), "payload");

    source = tree.file(L"vhosts\\second.tmp", "two");
    r = quarn({L"mv2tempnam", source, into});
    out = r.out;
    ASSERT_TRUE(std::regex_search(out, std::regex(std::string(R"(\\\{)") + kGuid + R"(\}\n$)"))) << r.out;
    EXPECT_EQ(testsupport::readBytes(text::fromUtf8(out.substr(0, out.size() - 1))), "two");
}

TEST_F(PathQueries, MoveToTemporaryNameRefusalsChangeNothing) {
    std::wstring source = tree.file(L"vhosts\\upload.tmp", "payload");
    std::wstring into = tree.folder(L"vhosts\\incoming");
    tree.folder(L"outside");
    auto before = snapshot();
    // A prefix that climbs out of the directory is refused before anything moves.
    auto r = quarn({L"mv2tempnam", source, into, L"..\\..\\..\\outside\\x"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("The prefix (..\\..\\..\\outside\\x) is invalid"), std::string::npos) << r.out;
    r = quarn({L"mv2tempnam", source, into, L"name:stream"});
    EXPECT_EQ(r.exitCode, 1);
    r = quarn({L"mv2tempnam", source, tree.path(L"outside")});
    EXPECT_NE(r.out.find("Path is not allowed"), std::string::npos) << r.out;
    r = quarn({L"mv2tempnam", site(L"missing.tmp"), into});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("Unable to move (" + display(site(L"missing.tmp")) + ") to (" + display(into) + "\\{", 0),
              0u)
        << r.out;
    EXPECT_EQ(quarn({L"mv2tempnam", source}).out, "Usage:\nmv2tempnam source path [prefix]\n");
    EXPECT_EQ(snapshot(), before);
}

TEST_F(PathQueries, MoveToTemporaryNameTriesAnotherNameWhenOneIsTaken) {
    std::wstring source = tree.file(L"vhosts\\upload.tmp", "payload");
    std::wstring into = tree.folder(L"vhosts\\incoming");
    substitute.failNext(Call::moveFileEx, source, ERROR_ALREADY_EXISTS, 2);
    auto r = quarn({L"mv2tempnam", source, into});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(substitute.calls(Call::moveFileEx, source), 3);
    // Taken fifteen times: the command gives up, the source stays.
    source = tree.file(L"vhosts\\other.tmp", "x");
    substitute.failNext(Call::moveFileEx, source, ERROR_FILE_EXISTS, 15);
    r = quarn({L"mv2tempnam", source, into});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("): (80) "), std::string::npos) << r.out;
    EXPECT_EQ(testsupport::readBytes(source), "x");
}

} // namespace
