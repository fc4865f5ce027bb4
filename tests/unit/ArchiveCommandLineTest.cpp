#include "commands/files/ArchiveCommandLine.h"

#include "app/Exceptions.h"
#include "support/FailureOf.h"

#include <gtest/gtest.h>

namespace {

using files::ArchiveSwitchValues;
using files::expandArchiveTemplate;
using files::quoteArgument;

ArchiveSwitchValues archiveAt(const std::wstring& path) {
    ArchiveSwitchValues values;
    values.archive = path;
    return values;
}

TEST(ArchiveCommandLine, TheArchiveSwitchIsThePathQuotedWhenItMustBe) {
    EXPECT_EQ(expandArchiveTemplate(L"archiver.exe zip t %%A", archiveAt(L"C:\\up\\a.zip")),
              L"archiver.exe zip t C:\\up\\a.zip");
    EXPECT_EQ(expandArchiveTemplate(L"archiver.exe zip x %%A", archiveAt(L"C:\\my files\\a.zip")),
              L"archiver.exe zip x \"C:\\my files\\a.zip\"");
    // Blanks around and between words do not multiply.
    EXPECT_EQ(expandArchiveTemplate(L"  archiver.exe   tar  t %%A ", archiveAt(L"C:\\a.tar")),
              L"archiver.exe tar t C:\\a.tar");
}

TEST(ArchiveCommandLine, PiecesWithAnEmptySwitchAreDropped) {
    // P and W are not supplied by unpack-archive: their groups vanish, the rest stays.
    EXPECT_EQ(expandArchiveTemplate(L"unrar.exe x {-p%%P} -w%%W %%A", archiveAt(L"C:\\a.rar")),
              L"unrar.exe x C:\\a.rar");
    ArchiveSwitchValues values = archiveAt(L"C:\\a.rar");
    values.password = L"secret word";
    EXPECT_EQ(expandArchiveTemplate(L"unrar.exe x {-p%%P -y} %%A", values),
              L"unrar.exe x -psecret word -y C:\\a.rar");
}

TEST(ArchiveCommandLine, FileListsAreQuotedAndTakeSlashesOnRequest) {
    ArchiveSwitchValues values = archiveAt(L"a.zip");
    values.fileList = {L"dir\\a.txt", L"my dir\\b.txt"};
    EXPECT_EQ(expandArchiveTemplate(L"zip.exe x %%A %%L", values),
              L"zip.exe x a.zip dir\\a.txt \"my dir\\b.txt\"");
    EXPECT_EQ(expandArchiveTemplate(L"zip.exe x %%A %%F%%L", values),
              L"zip.exe x a.zip dir/a.txt \"my dir/b.txt\"");
    EXPECT_EQ(expandArchiveTemplate(L"zip.exe %%f x %%A %%L", values),
              L"zip.exe x a.zip dir/a.txt \"my dir/b.txt\"");
}

TEST(ArchiveCommandLine, UnknownSwitchesAreIgnoredAndACutOffSwitchFails) {
    EXPECT_EQ(expandArchiveTemplate(L"arj.exe t %%Q%%A", archiveAt(L"a.arj")), L"arj.exe t a.arj");
    EXPECT_EQ(expandArchiveTemplate(L"", archiveAt(L"a.arj")), L"");
    std::wstring message =
        testsupport::failureOf([] { expandArchiveTemplate(L"arj.exe t %%", archiveAt(L"a")); }).message();
    EXPECT_NE(message.find(L"archive command template 'arj.exe t %%'"), std::wstring::npos) << message;
}

TEST(ArchiveCommandLine, QuotingSurvivesTheRuntimesSplitting) {
    EXPECT_EQ(quoteArgument(L"plain"), L"plain");
    EXPECT_EQ(quoteArgument(L""), L"\"\"");
    EXPECT_EQ(quoteArgument(L"C:\\a b\\"), L"\"C:\\a b\\\\\""); // the closing quote is not escaped
    EXPECT_EQ(quoteArgument(L"say \"hi\""), L"\"say \\\"hi\\\"\"");
    EXPECT_EQ(quoteArgument(L"a\\\"b"), L"\"a\\\\\\\"b\"");
}

} // namespace
