#include "app/Text.h"
#include "support/FileFixtures.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

using testsupport::Call;

class PathQueries : public testsupport::FileCommandTest {
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
    auto r = run({L"list", L"files", site(L"site")});
    EXPECT_EQ(r.out, "index.html\t981209109\t1234\t\"\"\t\"\"\t000\n");
    EXPECT_EQ(r.exitCode, 0);
}

TEST_F(PathQueries, ListModes) {
    tree.folder(L"vhosts\\empty");
    EXPECT_EQ(names(run({L"list", L"dirs", site(L"empty")}).out), (std::vector<std::string>{".", ".."}));
    EXPECT_EQ(run({L"list", L"files", site(L"empty")}).out, "");

    tree.file(L"vhosts\\site\\b.txt", "b");
    tree.folder(L"vhosts\\site\\a-dir");
    tree.file(L"vhosts\\site\\a.txt", "a");
    tree.folder(L"vhosts\\site\\z-dir");
    EXPECT_EQ(names(run({L"list", L"both", site(L"site")}).out),
              (std::vector<std::string>{".", "..", "a-dir", "z-dir", "a.txt", "b.txt"}));
    EXPECT_EQ(names(run({L"list", L"files", site(L"site")}).out),
              (std::vector<std::string>{"a.txt", "b.txt"}));
    // A file or a missing path lists nothing.
    EXPECT_EQ(run({L"list", L"both", site(L"site\\a.txt")}).out, "");
    EXPECT_EQ(run({L"list", L"both", site(L"missing")}).out, "");
}

TEST_F(PathQueries, ListRefusals) {
    auto r = run({L"list", L"Both", site(L"")});
    EXPECT_EQ(r.out, "The mode (Both) is invalid");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(run({L"list", site(L"")}).out, "Usage:\nlist (dirs | files | both) path\n");
    tree.file(L"outside\\secret.txt", "s");
    r = run({L"list", L"both", tree.path(L"outside")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.find("secret.txt"), std::string::npos);
    EXPECT_NE(r.out.find("Path is not allowed"), std::string::npos) << r.out;
}

// --- size

TEST_F(PathQueries, SizeOfFilesAndTrees) {
    EXPECT_EQ(run({L"size", tree.file(L"vhosts\\empty.txt")}).out, "0\n");
    tree.file(L"vhosts\\site\\a.txt", std::string(1000, 'a'));
    tree.file(L"vhosts\\site\\sub\\b.txt", std::string(234, 'b'));
    tree.file(L"vhosts\\site\\sub\\deeper\\c.txt", std::string(5, 'c'));
    tree.folder(L"vhosts\\site\\emptydir");
    auto r = run({L"size", site(L"site")});
    EXPECT_EQ(r.out, "1239\n");
    EXPECT_EQ(r.exitCode, 0);
    // Trailing separators and "\." are dropped before anything else.
    EXPECT_EQ(run({L"size", site(L"site\\sub\\.")}).out, "239\n");
    EXPECT_EQ(run({L"size", site(L"site\\a.txt")}).out, "1000\n");
}

TEST_F(PathQueries, SizeFailures) {
    auto r = run({L"size", site(L"missing")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("Unable to read directory (" + display(site(L"missing")) + "): (2) ", 0), 0u)
        << r.out;
    // A pattern is no path: it would measure whichever entry it matched first.
    tree.file(L"vhosts\\big.txt", "0123456789");
    r = run({L"size", site(L"b*")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("contains wildcard characters"), std::string::npos) << r.out;
    // A directory that cannot be enumerated deeper down fails the whole sum: no partial answer.
    tree.file(L"vhosts\\site\\sub\\x.txt", "x");
    substitute.failNext(Call::findFirstFile, site(L"site\\sub\\*.*"), ERROR_ACCESS_DENIED);
    r = run({L"size", site(L"site")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("Unable to read directory (" + display(site(L"site\\sub")) + "): (5) ", 0), 0u)
        << r.out;
    EXPECT_EQ(run({L"size"}).out, "Usage:\nsize path\n");
    EXPECT_NE(run({L"size", tree.path(L"outside")}).out.find("Path is not allowed"), std::string::npos);
}

TEST_F(PathQueries, SizeSkipsJunctions) {
    tree.file(L"vhosts\\site\\a.txt", std::string(100, 'a'));
    tree.file(L"vhosts\\elsewhere\\big.bin", std::string(5000, 'b'));
    substitute.addJunction(tree.folder(L"vhosts\\site\\link"), site(L"elsewhere"));
    EXPECT_EQ(run({L"size", site(L"site")}).out, "100\n");
    EXPECT_EQ(run({L"size", site(L"")}).out, "5100\n");
}

// --- realpath

TEST_F(PathQueries, RealPathPrintsTheLongThenTheShortForm) {
    tree.file(L"vhosts\\Long Folder Name\\Document.html", "x");
    substitute.addShortName(site(L"Long Folder Name"), site(L"LONGFO~1"));
    auto r = run({L"realpath", site(L"LONGFO~1\\Document.html")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, display(site(L"Long Folder Name\\Document.html")) + "\n\n" +
                         display(site(L"LONGFO~1\\Document.html")) + "\n");
    // A folder, with or without a trailing separator, is printed without one.
    r = run({L"realpath", site(L"Long Folder Name\\")});
    EXPECT_EQ(r.out, display(site(L"Long Folder Name")) + "\n\n" + display(site(L"LONGFO~1")) + "\n");
}

TEST_F(PathQueries, RealPathOfAJunctionNamesItsTarget) {
    tree.file(L"vhosts\\Target Folder\\x.txt", "x");
    substitute.addShortName(site(L"Target Folder"), site(L"TARGET~1"));
    substitute.addJunction(tree.folder(L"vhosts\\link"), site(L"Target Folder"));
    auto r = run({L"realpath", site(L"link")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, display(site(L"Target Folder")) + "\n\n" + display(site(L"TARGET~1")) + "\n");
}

TEST_F(PathQueries, RealPathFailures) {
    auto r = run({L"realpath", site(L"missing.txt")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("Unable to get a long path for (", 0), 0u) << r.out;
    // Access denied that does not go away ends after a bounded number of rounds.
    std::wstring file = tree.file(L"vhosts\\locked.txt", "x");
    substitute.failNext(Call::getShortPathName, file, ERROR_ACCESS_DENIED, 4);
    r = run({L"realpath", file});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, display(file) + "\n\nUnable to get a short path for (" + display(file) +
                         "): (5) Access denied.")
        << r.out;
    EXPECT_EQ(substitute.calls(Call::getShortPathName, file), 4);
    // Denied once: the ancestors are listed and the second question is answered.
    substitute.failNext(Call::getShortPathName, file, ERROR_ACCESS_DENIED, 1);
    r = run({L"realpath", file});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(run({L"realpath"}).out, "Usage:\nrealpath path\n");
}

// --- cp2tempnam

TEST_F(PathQueries, CopyToTemporaryName) {
    std::wstring source = tree.file(L"vhosts\\upload.tmp", "payload");
    std::wstring into = tree.folder(L"vhosts\\incoming");
    auto r = run({L"cp2tempnam", source, into, L"abc"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    std::string out = r.out;
    ASSERT_TRUE(std::regex_search(out, std::regex(std::string(R"(\\\{abc-)") + kGuid + R"(\}\n$)"))) << r.out;
    EXPECT_EQ(out.rfind(display(into) + "\\{abc-", 0), 0u) << r.out;
    EXPECT_EQ(testsupport::readFile(text::fromUtf8(out.substr(0, out.size() - 1))), "payload");
    EXPECT_EQ(testsupport::readFile(source), "payload");
}

TEST_F(PathQueries, CopyToTemporaryNameFailures) {
    std::wstring source = tree.file(L"vhosts\\upload.tmp", "payload");
    std::wstring into = tree.folder(L"vhosts\\incoming");
    auto before = testsupport::snapshot(tree.root());
    auto r = run({L"cp2tempnam", source, into, L"a/b"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("The prefix (a/b) is invalid"), std::string::npos) << r.out;
    r = run({L"cp2tempnam", tree.file(L"outside\\secret.txt", "s"), into});
    EXPECT_NE(r.out.find("Path is not allowed"), std::string::npos) << r.out;
    EXPECT_EQ(run({L"cp2tempnam", source}).out, "Usage:\ncp2tempnam source path [prefix]\n");
    before[L"outside\\secret.txt"] = "s";
    EXPECT_EQ(testsupport::snapshot(tree.root()), before);

    // A copy that fails after the reservation takes the reserved name back.
    substitute.failNext(Call::copyFile, source, ERROR_SHARING_VIOLATION);
    r = run({L"cp2tempnam", source, into});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Unable to copy ("), std::string::npos) << r.out;
    EXPECT_EQ(testsupport::snapshot(tree.root()), before);

    // Every reserved name taken by someone else: given up after the budget, nothing left behind.
    substitute.failNext(Call::createFile, L"", ERROR_FILE_EXISTS, 16);
    r = run({L"cp2tempnam", source, into});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("Unable to move (" + display(source) + ") to (" + display(into) + "): (80) ", 0),
              0u)
        << r.out;
    EXPECT_EQ(testsupport::snapshot(tree.root()), before);
}

// --- mv2tempnam

TEST_F(PathQueries, MoveToTemporaryNameWithAndWithoutPrefix) {
    std::wstring source = tree.file(L"vhosts\\upload.tmp", "payload");
    std::wstring into = tree.folder(L"vhosts\\incoming");
    auto r = run({L"mv2tempnam", source, into, L"abc"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    std::smatch m;
    std::string out = r.out;
    ASSERT_TRUE(
        std::regex_match(out, m,
                         std::regex(std::regex_replace(display(into), std::regex(R"([\\.])"), R"(\$&)") +
                                    R"(\\\{abc-()" + kGuid + R"()\}\n)")))
        << r.out;
    EXPECT_EQ(GetFileAttributesW(source.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(testsupport::readFile(text::fromUtf8(out.substr(0, out.size() - 1))), "payload");

    source = tree.file(L"vhosts\\second.tmp", "two");
    r = run({L"mv2tempnam", source, into});
    out = r.out;
    ASSERT_TRUE(std::regex_search(out, std::regex(std::string(R"(\\\{)") + kGuid + R"(\}\n$)"))) << r.out;
    EXPECT_EQ(testsupport::readFile(text::fromUtf8(out.substr(0, out.size() - 1))), "two");
}

TEST_F(PathQueries, MoveToTemporaryNameRefusalsChangeNothing) {
    std::wstring source = tree.file(L"vhosts\\upload.tmp", "payload");
    std::wstring into = tree.folder(L"vhosts\\incoming");
    tree.folder(L"outside");
    auto before = testsupport::snapshot(tree.root());
    // A prefix that climbs out of the directory is refused before anything moves.
    auto r = run({L"mv2tempnam", source, into, L"..\\..\\..\\outside\\x"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("The prefix (..\\..\\..\\outside\\x) is invalid"), std::string::npos) << r.out;
    r = run({L"mv2tempnam", source, into, L"name:stream"});
    EXPECT_EQ(r.exitCode, 1);
    r = run({L"mv2tempnam", source, tree.path(L"outside")});
    EXPECT_NE(r.out.find("Path is not allowed"), std::string::npos) << r.out;
    r = run({L"mv2tempnam", site(L"missing.tmp"), into});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(
        r.out.rfind("Unable to move (" + display(site(L"missing.tmp")) + ") to (" + display(into) + "\\{", 0),
        0u)
        << r.out;
    EXPECT_EQ(run({L"mv2tempnam", source}).out, "Usage:\nmv2tempnam source path [prefix]\n");
    EXPECT_EQ(testsupport::snapshot(tree.root()), before);
}

TEST_F(PathQueries, MoveToTemporaryNameTriesAnotherNameWhenOneIsTaken) {
    std::wstring source = tree.file(L"vhosts\\upload.tmp", "payload");
    std::wstring into = tree.folder(L"vhosts\\incoming");
    substitute.failNext(Call::moveFile, source, ERROR_ALREADY_EXISTS, 2);
    auto r = run({L"mv2tempnam", source, into});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(substitute.calls(Call::moveFile, source), 3);
    // Taken on every attempt: the command gives up, the source stays.
    source = tree.file(L"vhosts\\other.tmp", "x");
    substitute.failNext(Call::moveFile, source, ERROR_FILE_EXISTS, 16);
    r = run({L"mv2tempnam", source, into});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("): (80) "), std::string::npos) << r.out;
    EXPECT_EQ(testsupport::readFile(source), "x");
}

// Between drive C: and drive Q: (a tmpfs): a move that the file system cannot rename is copied.
class TemporaryNameAcrossVolumes : public PathQueries {
protected:
    TemporaryNameAcrossVolumes() { settings.strings[L"DUMP_D"] = other.root(); }
    testsupport::ScratchTree other{L"Q:"};
};

TEST_F(TemporaryNameAcrossVolumes, FileMovesAndCopiesToAnotherVolume) {
    std::wstring source = tree.file(L"vhosts\\upload.tmp", std::string("\0\x1A\r\n", 4));
    auto r = run({L"mv2tempnam", source, other.root()});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    std::string out = r.out;
    EXPECT_EQ(out.rfind(display(other.root()) + "\\{", 0), 0u) << r.out;
    EXPECT_EQ(testsupport::readFile(text::fromUtf8(out.substr(0, out.size() - 1))),
              std::string("\0\x1A\r\n", 4));
    EXPECT_EQ(GetFileAttributesW(source.c_str()), INVALID_FILE_ATTRIBUTES);

    source = tree.file(L"vhosts\\kept.tmp", "kept");
    r = run({L"cp2tempnam", source, other.root(), L"copy"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    out = r.out;
    EXPECT_EQ(out.rfind(display(other.root()) + "\\{copy-", 0), 0u) << r.out;
    EXPECT_EQ(testsupport::readFile(text::fromUtf8(out.substr(0, out.size() - 1))), "kept");
    EXPECT_EQ(testsupport::readFile(source), "kept");
}

} // namespace
