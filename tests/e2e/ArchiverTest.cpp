// archiver.exe as the handlers of unpack-archive start it: its exit codes, its status lines and
// what it writes into its working directory, on the archives of tests/corpus/make-archive-corpus.
#include "commands/files/ArchiveTemplates.h"
#include "commands/files/ArchiverProcess.h"

#include "support/FileFixtures.h"
#include "support/PolicyFixtures.h"
#include "support/Process.h"
#include "support/Standin.h"

#include <gtest/gtest.h>

namespace {

using namespace testsupport;

class Archiver : public ::testing::Test {
protected:
    void SetUp() override {
        corpus = archiveCorpus() + L"\\";
        if (GetFileAttributesW((corpus + L"site.zip").c_str()) == INVALID_FILE_ATTRIBUTES)
            GTEST_SKIP() << "the archive corpus is made by the CTest fixture archive_corpus";
        work = scratch.folder(L"work");
    }

    files::ArchiverResult run(const std::wstring& arguments) {
        return files::runArchiver(quoteArgument(builtProgram(L"archiver.exe")) + L" " + arguments, work);
    }

    ScratchTree scratch;
    std::wstring corpus;
    std::wstring work;
};

TEST_F(Archiver, TestsAndExtractsEveryHandledKind) {
    for (std::wstring format : {L"zip", L"tar", L"tgz"}) {
        SCOPED_TRACE(std::string(format.begin(), format.end()));
        work = scratch.folder(format);
        std::wstring archive = corpus + L"site." + format;
        EXPECT_EQ(run(format + L" t " + archive).exitCode, 0u);
        EXPECT_EQ(snapshot(work), TreeSnapshot{}); // a test writes nothing
        files::ArchiverResult x = run(format + L" x " + archive + (format == L"zip" ? L" *" : L""));
        EXPECT_EQ(x.exitCode, 0u) << x.output;
        TreeSnapshot got = snapshot(work);
        EXPECT_EQ(got.size(), 9u);
        EXPECT_EQ(got[L"site\\index.html"], "<html>index</html>\n");
        EXPECT_EQ(got[L"site\\\u00fcn\u00efcode.txt"], "not ascii\n");
        EXPECT_EQ(got[L"site\\empty"], "<dir>");
        EXPECT_EQ(got[L"site\\img\\big.txt"], std::string(3000, 'x'));
    }
}

TEST_F(Archiver, ExtractionWithoutPathsFlattensTheTree) {
    EXPECT_EQ(run(L"zip e " + corpus + L"site.zip *.*").exitCode, 0u);
    TreeSnapshot got = snapshot(work);
    EXPECT_EQ(got.size(), 5u);
    EXPECT_EQ(got[L"style.css"], "body { color: red }\n");
}

TEST_F(Archiver, GzipSpeaksInStatusLines) {
    files::ArchiverResult t = run(L"gz t " + corpus + L"index.html.gz");
    EXPECT_EQ(t.exitCode, 0u);
    EXPECT_EQ(t.output, "Archive has valid crc32.\r\n");
    files::ArchiverResult x = run(L"gz x " + corpus + L"index.html.gz");
    EXPECT_EQ(x.output, "Archive has valid crc32.\r\n");
    EXPECT_EQ(snapshot(work), (TreeSnapshot{{L"index.html", "<html>index</html>\n"}}));
    files::ArchiverResult bad = run(L"gz t " + corpus + L"site.zip"); // not gzip data
    EXPECT_EQ(bad.exitCode, 1u);
    EXPECT_EQ(bad.output.find("untgz32: error - "), 0u) << bad.output;
    EXPECT_EQ(bad.output.find("Archive has valid crc32."), std::string::npos);
}

TEST_F(Archiver, RefusedArchivesWriteNothingAndSaySo) {
    struct Case {
        const wchar_t* format;
        const wchar_t* name;
        const char* says;
    } cases[] = {
        {L"zip", L"traversal.zip", "would land outside the directory"},
        {L"zip", L"drive.zip", "would land outside the directory"},
        {L"tar", L"traversal.tar", "would land outside the directory"},
        {L"tar", L"absolute.tar", "would land outside the directory"},
        {L"tar", L"symlink.tar", "symbolic link"},
        {L"zip", L"symlink.zip", "symbolic link"},
        {L"tar", L"hardlink.tar", "hard link"},
        {L"zip", L"crc.zip", ""},
        {L"zip", L"truncated.zip", ""},
        {L"tgz", L"truncated.tgz", ""},
        {L"tgz", L"site.tar", "not gzip-compressed"},
        {L"tar", L"site.tgz", ""},
        {L"zip", L"garbage.zip", ""},
        {L"zip", L"case-twins.zip", "two entries of the same name"},
        {L"zip", L"unicode-twins.zip", "two entries of the same name"},
        {L"zip", L"same-name.zip", "two entries of the same name"},
        {L"zip", L"file-then-folder.zip", "below a file"},
        {L"tar", L"file-then-folder.tar", "a folder where a file"},
        {L"tar", L"folder-then-file.tar", "a file where a folder"},
        {L"zip", L"nul-name.zip", "NUL"},
        {L"zip", L"local-name.zip", "disagree on its name"},
        {L"zip", L"clock.zip", "would land outside"},
        {L"zip", L"com0.zip", "would land outside"},
        {L"zip", L"superscript.zip", "would land outside"},
        {L"tar", L"lpt-superscript.tar", "would land outside"},
        {L"tar", L"lpt0.tar", "would land outside"},
        {L"gz", L"trailing..gz", "output name"},
        {L"gz", L"com0.gz", "output name"},
        {L"gz", L"lpt\u00b9.txt.gz", "output name"},
    };
    for (const Case& c : cases) {
        for (const wchar_t* operation : {L" t ", L" x "}) {
            files::ArchiverResult r = run(std::wstring(c.format) + operation + corpus + c.name);
            EXPECT_EQ(r.exitCode, 1u) << c.name << r.output;
            EXPECT_NE(r.output.find(c.says), std::string::npos) << r.output;
            EXPECT_EQ(snapshot(scratch.root()), (TreeSnapshot{{L"work", "<dir>"}})) << c.name;
        }
    }
}

// The limits hold while the archive is read: a test stops at them, and an extraction stops
// writing there and takes away what it wrote.
TEST_F(Archiver, LimitsStopTheRunAndLeaveNothing) {
    struct Case {
        const wchar_t* format;
        const wchar_t* name;
        const wchar_t* limit;
        const char* says;
    } cases[] = {
        {L"zip", L"bomb.zip", L"--max-bytes=1048576", "limit of 1048576 bytes"},
        {L"tgz", L"bomb.tgz", L"--max-bytes=1048576", "limit of 1048576 bytes"},
        {L"tar", L"sparse.tar", L"--max-bytes=1048576", "limit of 1048576 bytes"},
        {L"zip", L"many.zip", L"--max-entries=10", "limit of 10 entries"},
        {L"tar", L"site.tar", L"--max-bytes=3050", "limit of 3050 bytes"}, // refused after some entries
    };
    for (const Case& c : cases) {
        for (const wchar_t* operation : {L" t ", L" x "}) {
            files::ArchiverResult r =
                run(std::wstring(c.format) + operation + corpus + c.name + L" " + c.limit);
            EXPECT_EQ(r.exitCode, 1u) << c.name << r.output;
            EXPECT_NE(r.output.find(c.says), std::string::npos) << r.output;
            EXPECT_EQ(snapshot(work), TreeSnapshot{}) << c.name;
        }
    }
    // Within them the same archives unpack: 50 empty files and their folder.
    EXPECT_EQ(run(L"zip x " + corpus + L"many.zip --max-entries=51 --max-bytes=0").exitCode, 0u);
    EXPECT_EQ(snapshot(work).size(), 51u);
}

TEST_F(Archiver, ExtractionWithoutPathsRefusesLeavesThatMeet) {
    // site/index.html and site/css/... hold no two equal leaves; the wide tree holds 100 "f00.txt".
    files::ArchiverResult r = run(L"tar e " + corpus + L"wide.tar");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_NE(r.output.find("two entries of the same name"), std::string::npos) << r.output;
    EXPECT_EQ(snapshot(work), TreeSnapshot{});
}

TEST_F(Archiver, ArjVersionAndUsage) {
    files::ArchiverResult arj = run(L"arj t " + corpus + L"site.zip");
    EXPECT_EQ(arj.exitCode, 3u);
    EXPECT_NE(arj.output.find("ARJ archives are not supported"), std::string::npos);
    files::ArchiverResult version = run(L"zip v");
    EXPECT_EQ(version.exitCode, 0u);
    EXPECT_NE(version.output.find("libarchive"), std::string::npos) << version.output;
    EXPECT_EQ(run(L"zip").exitCode, 2u);
    EXPECT_EQ(run(L"7z t " + corpus + L"site.zip").exitCode, 2u);
    EXPECT_EQ(run(L"zip x " + corpus + L"site.zip *.txt").exitCode, 2u); // only all-files masks
    EXPECT_EQ(run(L"zip x " + corpus + L"site.zip --max-bytes=-1").exitCode, 2u);
    EXPECT_EQ(run(L"zip x " + corpus + L"site.zip --max-files=1").exitCode, 2u);
    EXPECT_EQ(snapshot(work), TreeSnapshot{});
}

} // namespace

namespace {

// The templates come from the management service's extended settings; one it does not know is
// an empty template, which runs nothing.
TEST(ArchiveTemplates, ComeFromTheManagementService) {
    testsupport::PanelStandin standin("[ext:MultiArc\\ZIP]\n"
                                      "Test=archiver.exe zip t %%A\n"
                                      "Extract=archiver.exe zip x %%A\n");
    EXPECT_EQ(files::archiveTemplates().get(L"ZIP", L"Test"), L"archiver.exe zip t %%A");
    EXPECT_EQ(files::archiveTemplates().get(L"ZIP", L"Extract"), L"archiver.exe zip x %%A");
    EXPECT_EQ(files::archiveTemplates().get(L"ZIP", L"Version"), L"");
    EXPECT_EQ(files::archiveTemplates().get(L"RAR", L"Test"), L"");
}

} // namespace
