#include "app/Text.h"
#include "commands/files/FilePrefix.h"
#include "support/FileFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include <psapi.h>
#include <windows.h>

namespace {

class FileCommand : public testsupport::FileCommandTest {
protected:
    std::string file(const std::wstring& path) {
        auto r = run({L"file", path});
        EXPECT_EQ(r.exitCode, 0) << r.out;
        return r.out;
    }
    // The answer for a file of the given content made in the site.
    std::string fileOf(const std::wstring& name, const std::string& content) {
        return file(tree.file(L"vhosts\\" + name, content));
    }
    // Appended piece by piece: at -O3 GCC 12 takes `"(" + std::string` (an insert at the front)
    // for an overlapping memcpy and warns (-Wrestrict), a false positive.
    std::string expected(const std::wstring& path, const std::string& answer) {
        std::string line = "(";
        line += text::toUtf8(path);
        line += "): ";
        line += answer;
        line += '\n';
        return line;
    }
};

TEST_F(FileCommand, EdgeCasesOfTheContentTests) {
    std::wstring empty = tree.file(L"vhosts\\x.txt");
    EXPECT_EQ(file(empty), expected(empty, "ASCII txt text"));
    std::wstring hello = tree.file(L"vhosts\\a", "hello\n");
    EXPECT_EQ(file(hello), expected(hello, "ASCII unknown text"));
    std::wstring db = tree.file(L"vhosts\\db.mdb", std::string("\x00\x01\x00\x00Standard Jet DB\x00", 20));
    EXPECT_EQ(file(db), expected(db, "jet mdb database"));
    // An image answer carries its own line feed, and no encoding or extension.
    std::wstring gif = tree.file(L"vhosts\\p.gif", "GIF89a");
    EXPECT_EQ(file(gif), expected(gif, "GIF image\n"));
    // The extension is taken after the last "." of the name, not of the path.
    std::wstring dotted = tree.file(L"vhosts\\v1.2\\notes", "x\n");
    EXPECT_EQ(file(dotted), expected(dotted, "ASCII unknown text"));
}

TEST_F(FileCommand, DirectoryAndThePathAsGiven) {
    tree.folder(L"vhosts\\site");
    std::wstring given = tree.path(L"vhosts/site/../site");
    EXPECT_EQ(file(given), expected(given, "directory"));
    EXPECT_EQ(run({L"file", L"-L", tree.path(L"vhosts\\site")}).exitCode, 0);
}

TEST_F(FileCommand, FailuresPrintNothingButTheMessage) {
    auto r = run({L"file", site(L"missing.txt")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("Unable to create file '" + text::toUtf8(site(L"missing.txt")) + "': (2) ", 0), 0u)
        << r.out;
    tree.file(L"outside\\secret.txt", "secret\n");
    r = run({L"file", tree.path(L"outside\\secret.txt")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Path is not allowed"), std::string::npos) << r.out;
    r = run({L"file", L"-x", site(L"a")});
    EXPECT_EQ(r.out, "Usage:\nfile anyfile...\n");
    EXPECT_EQ(r.exitCode, 1);
}

// Files longer than the prefix the detection reads are judged by that prefix.
TEST_F(FileCommand, LongFilesAreJudgedByTheirFirstMebibyte) {
    const size_t limit = files::FilePrefix::kDefaultLimit;
    // Text up to the limit, a control byte after it.
    std::string ascii(limit, 'a');
    std::wstring path = tree.file(L"vhosts\\long.txt", ascii + "\x01");
    EXPECT_EQ(file(path), expected(path, "ASCII txt text"));
    // The limit cuts a two-byte character: still UTF-8.
    std::string utf8(limit - 1, 'a');
    path = tree.file(L"vhosts\\cut.txt", utf8 + "\xC3\xA9 and more");
    EXPECT_EQ(file(path), expected(path, "UTF-8 Unicode txt text"));
    // A file of exactly the limit is read whole: the same character cut by its end is not UTF-8.
    path = tree.file(L"vhosts\\whole.txt", utf8 + "\xC3");
    EXPECT_EQ(file(path), expected(path, "ISO-8859 txt text"));
}

// A file far larger than any prefix read: its first mebibyte only, in bounded memory and time.
TEST_F(FileCommand, HugeFileIsExaminedWithBoundedMemory) {
    std::wstring path = tree.file(L"vhosts\\huge.img", "\x7F"
                                                       "ELF");
    {
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD ignored = 0;
        DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
        LARGE_INTEGER size;
        size.QuadPart = 5LL << 30; // past 4 GiB: no 32-bit size survives it
        ASSERT_TRUE(SetFilePointerEx(h, size, nullptr, FILE_BEGIN));
        ASSERT_TRUE(SetEndOfFile(h));
        CloseHandle(h);
    }
    // The first command of a process pays for loading and settings: not what is measured here.
    fileOf(L"warm.txt", "warm\n");
    PROCESS_MEMORY_COUNTERS before{}, after{};
    GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(file(path), expected(path, "binary img data"));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::seconds(1));
    GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
    RecordProperty("milliseconds",
                   static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()));
    RecordProperty("peak_working_set_growth_kib",
                   static_cast<int>((after.PeakWorkingSetSize - std::min(after.PeakWorkingSetSize, before.WorkingSetSize)) >> 10));
    EXPECT_LT(after.PeakPagefileUsage, before.PagefileUsage + (64u << 20))
        << "private memory grew with the file";
    // A mapping of the whole file would not count as private memory, but its pages would be
    // in the working set.
    EXPECT_LT(after.PeakWorkingSetSize, before.WorkingSetSize + (64u << 20))
        << "the working set grew with the file";
    DeleteFileW(path.c_str());
}

// Files made by Debian's tools before the run (tests/corpus/make-file-corpus).
class FileCorpus : public FileCommand {
protected:
    FileCorpus() {
        // <build>\tests\command_tests.exe -> <build>\file-corpus
        wchar_t self[MAX_PATH];
        std::wstring folder(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
        folder.resize(folder.find_last_of(L'\\'));
        folder.resize(folder.find_last_of(L'\\'));
        if (GetFileAttributesW((folder + L"\\file-corpus").c_str()) == INVALID_FILE_ATTRIBUTES) return;
        corpus = folder + L"\\file-corpus";
        settings.strings[L"HTTPD_VHOSTS_D"] = corpus;
    }
    std::string answer(const std::wstring& name) { return file(corpus + L"\\" + name); }
    std::string expectedFor(const std::wstring& name, const std::string& answer) {
        return expected(corpus + L"\\" + name, answer);
    }
    bool present(const std::wstring& name) const {
        return GetFileAttributesW((corpus + L"\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    std::wstring corpus;
};

TEST_F(FileCorpus, ProgramsBuiltByTheCrossCompilers) {
    ASSERT_FALSE(corpus.empty()) << "no file-corpus folder beside the tests: run the file_corpus test first";
    EXPECT_EQ(answer(L"pe64.exe"), expectedFor(L"pe64.exe", "A 64-bit Windows-based application"));
    if (present(L"pe32.exe")) {
        EXPECT_EQ(answer(L"pe32.exe"), expectedFor(L"pe32.exe", "A 32-bit Windows-based application"));
    }
}

TEST_F(FileCorpus, ArchivesFromGnuTar) {
    ASSERT_FALSE(corpus.empty()) << "no file-corpus folder beside the tests: run the file_corpus test first";
    // The header whose magic is "ustar" with two blanks (GNU's) is the one called POSIX.
    EXPECT_EQ(answer(L"gnu.tar"), expectedFor(L"gnu.tar", "POSIX tar archive\n"));
    EXPECT_EQ(answer(L"posix.tar"), expectedFor(L"posix.tar", "tar archive\n"));
    EXPECT_EQ(answer(L"v7.tar"), expectedFor(L"v7.tar", "tar archive\n"));
}

TEST_F(FileCorpus, ImagesFromNetpbm) {
    ASSERT_FALSE(corpus.empty()) << "no file-corpus folder beside the tests: run the file_corpus test first";
    EXPECT_EQ(answer(L"picture.png"), expectedFor(L"picture.png", "PNG image\n"));
    EXPECT_EQ(answer(L"picture.gif"), expectedFor(L"picture.gif", "GIF image\n"));
    EXPECT_EQ(answer(L"picture.jpg"), expectedFor(L"picture.jpg", "JPEG image\n"));
    EXPECT_EQ(answer(L"picture.bmp"), expectedFor(L"picture.bmp", "BMP image\n"));
    EXPECT_EQ(answer(L"picture.tif"), expectedFor(L"picture.tif", "TIFF_II image\n"));
    EXPECT_EQ(answer(L"picture.xbm"), expectedFor(L"picture.xbm", "XBM image\n"));
    // Line ends rewritten: not an image any more, and binary as text.
    EXPECT_EQ(answer(L"crlf.png"), expectedFor(L"crlf.png", "binary png data"));
}

TEST_F(FileCorpus, TextsInTheirEncodings) {
    ASSERT_FALSE(corpus.empty()) << "no file-corpus folder beside the tests: run the file_corpus test first";
    EXPECT_EQ(answer(L"empty.txt"), expectedFor(L"empty.txt", "ASCII txt text"));
    EXPECT_EQ(answer(L"hello"), expectedFor(L"hello", "ASCII unknown text"));
    EXPECT_EQ(answer(L"utf8.txt"), expectedFor(L"utf8.txt", "UTF-8 Unicode txt text"));
    EXPECT_EQ(answer(L"latin1.txt"), expectedFor(L"latin1.txt", "ISO-8859 txt text"));
    EXPECT_EQ(answer(L"cp1252.txt"), expectedFor(L"cp1252.txt", "Non-ISO extended-ASCII txt text"));
    // UTF-16 in this machine's order: the system's own test decides and names its findings.
    const std::string statistics =
        "Microsoft Unicode with the determination made by applying statistical analysis"
        " with one or more of control characters";
    EXPECT_EQ(answer(L"utf16-bom.txt"),
              expectedFor(L"utf16-bom.txt",
                          statistics +
                              " with the Unicode byte-order mark in the first character txt character data"));
    EXPECT_EQ(answer(L"utf16le.txt"), expectedFor(L"utf16le.txt", statistics + " txt character data"));
    // Byte-reversed: only a byte-order mark makes it UTF-16; without one it is binary data.
    EXPECT_EQ(answer(L"utf16be-bom.txt"),
              expectedFor(L"utf16be-bom.txt", "Big-endian UTF-16 Unicode txt character data"));
    EXPECT_EQ(answer(L"utf16be.txt"), expectedFor(L"utf16be.txt", "binary txt data"));
    EXPECT_EQ(answer(L"ebcdic.txt"), expectedFor(L"ebcdic.txt", "EBCDIC txt character data"));
    EXPECT_EQ(answer(L"ebcdic-intl.txt"),
              expectedFor(L"ebcdic-intl.txt", "International EBCDIC txt character data"));
    EXPECT_EQ(answer(L"data.bin"), expectedFor(L"data.bin", "binary bin data"));
}

} // namespace
