// unpack-archive with the real archiver program (tools/archivers) on archives made by Debian's
// zip, tar and gzip before the run (tests/corpus/make-archive-corpus).
#include "commands/files/UnpackArchive.h"

#include "app/Text.h"
#include "commands/files/ArchiveTemplates.h"
#include "commands/files/ArchiverProcess.h"
#include "commands/files/UnpackLimits.h"
#include "identity/UserRecord.h"
#include "support/FailureOf.h"
#include "support/FileFixtures.h"
#include "support/Process.h"
#include "support/ScopedInstall.h"
#include "support/SecurityFixtures.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using namespace testsupport;
using RunTime::User::AccountRecords;
using RunTime::User::AccountRow;

class TableTemplates : public files::ArchiveTemplates {
public:
    std::map<std::wstring, std::wstring> table; // "TYPE/Operation" -> template; "/Key" -> MultiArc's setting
    std::map<std::wstring, int> asked;          // how often each was read: once per archiver run
    std::wstring get(const std::wstring& type, const std::wstring& operation) override {
        ++asked[type + L"/" + operation];
        auto it = table.find(type + L"/" + operation);
        return it == table.end() ? L"" : it->second;
    }
};
using ScopedTemplates = ScopedInstall<files::ArchiveTemplates, files::installArchiveTemplates>;

class HomeRow : public AccountRow {
public:
    explicit HomeRow(std::wstring home) : home_(std::move(home)) {}
    bool lookup(const std::wstring& column, std::wstring* value) override {
        if (column != L"home") return false;
        *value = home_;
        return true;
    }

private:
    std::wstring home_;
};

// Every login has the home given; an empty one has no record at all.
class HomeRecords : public AccountRecords {
public:
    std::wstring home;
    std::wstring escape(const std::wstring& text) override { return text; }
    std::unique_ptr<AccountRow> firstRow(const std::wstring&) override {
        if (home.empty()) return nullptr;
        return std::make_unique<HomeRow>(home);
    }
};
using ScopedRecords = ScopedInstall<AccountRecords, RunTime::User::installAccountRecords>;

class UnpackArchiveTest : public FileCommandTest {
protected:
    UnpackArchiveTest() {
        corpus = archiveCorpus();
        std::wstring bin = tree.folder(L"product\\admin\\bin");
        CopyFileW(builtProgram(L"archiver.exe").c_str(), (bin + L"\\archiver.exe").c_str(), FALSE);
        settings.strings[L"SHORT_PRODUCT_ROOT_D"] = tree.path(L"product\\");
        for (const wchar_t* type : {L"ZIP", L"TAR", L"TGZ", L"GZ", L"RAR", L"ARJ"}) {
            std::wstring format = type;
            for (wchar_t& c : format)
                c = static_cast<wchar_t>(towlower(c));
            templates.table[std::wstring(type) + L"/Test"] = L"archiver.exe " + format + L" t %%A";
            templates.table[std::wstring(type) + L"/Extract"] = L"archiver.exe " + format + L" x %%A";
            templates.table[std::wstring(type) + L"/Version"] = L"archiver.exe " + format + L" v";
        }
        home = tree.folder(L"vhosts\\example.com");
        records.home = home;
        tree.folder(L"vhosts\\example.com\\httpdocs");
    }

    void SetUp() override {
        if (GetFileAttributesW((corpus + L"\\site.zip").c_str()) == INVALID_FILE_ATTRIBUTES)
            GTEST_SKIP() << "the archive corpus is made by the CTest fixture archive_corpus";
    }

    // The archive copied into the site, as the panel's upload leaves it.
    std::wstring upload(const std::wstring& name) {
        std::wstring path = site(L"example.com\\" + name);
        CopyFileW((corpus + L"\\" + name).c_str(), path.c_str(), FALSE);
        return path;
    }

    static std::string invalid(const std::wstring& archive) {
        std::string message = "Archive " + text::toUtf8(archive) + " is invalid.";
        return "<XmlError Error=\"" + message + "\" ErrorCode=\"unknown\" ErrorDetails=\"" + message +
               "\"/>\r\n";
    }

    // The sound archives' contents below `folder`.
    static TreeSnapshot siteTree(const std::wstring& folder) {
        std::wstring p = folder.empty() ? L"" : folder + L"\\";
        return {{p + L"site", "<dir>"},
                {p + L"site\\css", "<dir>"},
                {p + L"site\\css\\style.css", "body { color: red }\n"},
                {p + L"site\\empty", "<dir>"},
                {p + L"site\\img", "<dir>"},
                {p + L"site\\img\\big.txt", std::string(3000, 'x')},
                {p + L"site\\index.html", "<html>index</html>\n"},
                {p + L"site\\with space.txt", "with a blank\n"},
                {p + L"site\\\u00fcn\u00efcode.txt", "not ascii\n"}};
    }

    std::wstring corpus;
    std::wstring home;
    TableTemplates templates;
    ScopedTemplates scopedTemplates{templates};
    HomeRecords records;
    ScopedRecords scopedRecords{records};
};

TEST_F(UnpackArchiveTest, ZipTarAndTgzUnpackIntoPlace) {
    for (const wchar_t* name : {L"site.zip", L"site.tar", L"site.tgz"}) {
        SCOPED_TRACE(text::toUtf8(name));
        std::wstring archive = upload(name);
        std::wstring destination = site(L"example.com\\httpdocs\\" + std::wstring(name) + L".d");
        InProcessResult r = run({L"unpack-archive", archive, destination});
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(snapshot(destination), siteTree(L""));
        // Nothing else is left in the home: the temporary directory went into the destination.
        TreeSnapshot left = snapshot(home);
        for (const auto& [path, content] : left)
            EXPECT_EQ(path.find(L"{"), std::wstring::npos) << text::toUtf8(path);
    }
}

TEST_F(UnpackArchiveTest, TypeArgumentExtensionAndProbingChooseTheSameHandler) {
    std::wstring a = site(L"example.com\\httpdocs\\a"), b = site(L"example.com\\httpdocs\\b"),
                 c = site(L"example.com\\httpdocs\\c");
    EXPECT_EQ(run({L"unpack-archive", L"zip", upload(L"site.zip"), a}).out, "");
    EXPECT_EQ(run({L"unpack-archive", upload(L"site.zip"), b}).out, "");
    EXPECT_EQ(run({L"unpack-archive", upload(L"site-zip.bin"), c}).out, ""); // found by probing
    EXPECT_EQ(snapshot(a), siteTree(L""));
    EXPECT_EQ(snapshot(b), siteTree(L""));
    EXPECT_EQ(snapshot(c), siteTree(L""));
}

TEST_F(UnpackArchiveTest, ProbingTriesGzipBeforeTarGzip) {
    // The handlers are tried in name order (ARJ, GZ, RAR, TAR, TGZ, ZIP): a gzip-compressed tar
    // without a telling extension is taken for a plain gzip file and unpacks to the tar itself.
    std::wstring destination = site(L"example.com\\httpdocs\\probed");
    EXPECT_EQ(run({L"unpack-archive", upload(L"site-tgz.bin"), destination}).out, "");
    TreeSnapshot got = snapshot(destination);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got.begin()->first, L"site-tgz");
    EXPECT_EQ(got.begin()->second.substr(0, 5), "site/"); // the first tar header's name
}

TEST_F(UnpackArchiveTest, GzipUnpacksItsOneFileThroughTheStatusLines) {
    std::wstring destination = site(L"example.com\\httpdocs\\gz");
    InProcessResult r = run({L"unpack-archive", upload(L"index.html.gz"), destination});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(snapshot(destination), (TreeSnapshot{{L"index.html", "<html>index</html>\n"}}));
}

TEST_F(UnpackArchiveTest, TheArchiverIsFoundUnderAProductRootWithBlanks) {
    std::wstring bin = tree.folder(L"Program Files\\Tarnis\\admin\\bin");
    CopyFileW(builtProgram(L"archiver.exe").c_str(), (bin + L"\\archiver.exe").c_str(), FALSE);
    settings.strings[L"SHORT_PRODUCT_ROOT_D"] = tree.path(L"Program Files\\Tarnis");
    std::wstring destination = site(L"example.com\\httpdocs\\blank");
    EXPECT_EQ(run({L"unpack-archive", upload(L"index.html.gz"), destination}).out, "");
    EXPECT_EQ(snapshot(destination), (TreeSnapshot{{L"index.html", "<html>index</html>\n"}}));
}

TEST_F(UnpackArchiveTest, AnUnknownArchiveIsNotDetected) {
    std::wstring destination = site(L"example.com\\httpdocs\\x");
    TreeSnapshot before = snapshot(tree.root());
    std::wstring archive = upload(L"garbage.bin");
    before = snapshot(tree.root());
    InProcessResult r = run({L"unpack-archive", archive, destination});
    EXPECT_EQ(r.out,
              "<XmlError Error=\"Can't detect archive type.\" ErrorCode=\"unknown\" ErrorDetails=\"Can't "
              "detect archive type.\"/>\r\n");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(snapshot(tree.root()), before);
}

// Damaged and crafted archives: reported invalid, no temporary directory left, nothing written
// anywhere (inside the destination or outside it).
TEST_F(UnpackArchiveTest, DamagedAndCraftedArchivesChangeNothing) {
    for (const wchar_t* name :
         {L"truncated.zip", L"crc.zip", L"truncated.tgz", L"garbage.zip", L"traversal.zip", L"drive.zip",
          L"traversal.tar", L"absolute.tar", L"symlink.tar", L"symlink.zip", L"hardlink.tar"}) {
        SCOPED_TRACE(text::toUtf8(name));
        std::wstring archive = upload(name);
        TreeSnapshot before = snapshot(tree.root());
        std::wstring destination = site(L"example.com\\httpdocs");
        InProcessResult r = run({L"unpack-archive", archive, destination});
        EXPECT_EQ(r.out, invalid(archive));
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(snapshot(tree.root()), before);
        // ".." from the work directory, and the crafted absolute name, land nowhere either.
        EXPECT_EQ(GetFileAttributesW((tree.path(L"vhosts\\outside.txt")).c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(GetFileAttributesW(L"C:\\evil.txt"), INVALID_FILE_ATTRIBUTES);
    }
}

TEST_F(UnpackArchiveTest, ATypeThatDoesNotFitIsInvalidAndArjIsNotRead) {
    std::wstring archive = upload(L"site.zip");
    EXPECT_EQ(run({L"unpack-archive", L"tar", archive, site(L"example.com\\httpdocs\\t")}).out,
              invalid(archive));
    EXPECT_EQ(run({L"unpack-archive", L"tgz", upload(L"site.tar"), site(L"example.com\\httpdocs\\t")}).out,
              invalid(site(L"example.com\\site.tar")));
    EXPECT_EQ(run({L"unpack-archive", L"arj", archive, site(L"example.com\\httpdocs\\t")}).out,
              invalid(archive));
    EXPECT_EQ(GetFileAttributesW(site(L"example.com\\httpdocs\\t").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(UnpackArchiveTest, UnpackingMergesIntoAnExistingDestination) {
    std::wstring destination = site(L"example.com\\httpdocs");
    tree.file(L"vhosts\\example.com\\httpdocs\\keep.txt", "kept");
    EXPECT_EQ(run({L"unpack-archive", upload(L"site.tgz"), destination}).out, "");
    TreeSnapshot expected = siteTree(L"");
    expected[L"keep.txt"] = "kept";
    EXPECT_EQ(snapshot(destination), expected);
}

TEST_F(UnpackArchiveTest, ADestinationOnAnotherVolumeIsFilledByCopying) {
    if (GetFileAttributesW(L"Q:\\") == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no second drive";
    ScratchTree other(L"Q:");
    std::wstring destination = other.path(L"unpacked");
    settings.strings[L"DUMP_D"] = other.root();
    InProcessResult r = run({L"unpack-archive", upload(L"site.zip"), destination});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(snapshot(destination), siteTree(L""));
    for (const auto& [path, content] : snapshot(home))
        EXPECT_EQ(path.find(L"{"), std::wstring::npos);
}

TEST_F(UnpackArchiveTest, TheTemporaryDirectoryIsMadeInThePrivateFolderWhenThereIsOne) {
    struct Probe : UnpackArchive {
        using UnpackArchive::takeArguments;
    };
    for (bool withPrivate : {false, true}) {
        if (withPrivate) tree.folder(L"vhosts\\example.com\\private");
        Probe command;
        command.targetName = L"ROOT";
        command.takeArguments({upload(L"site.zip"), site(L"example.com\\httpdocs")});
        command.prepare();
        EXPECT_EQ(command.workPath.display(), withPrivate ? home + L"\\private" : home);
        std::wstring temporary = command.unpackToTemporary();
        std::wstring parent = temporary.substr(0, temporary.rfind(L'\\'));
        EXPECT_EQ(parent, L"\\\\?\\" + command.workPath.display());
        EXPECT_EQ(snapshot(temporary), siteTree(L""));
    }
}

TEST_F(UnpackArchiveTest, AnAccountWithoutAHomeIsRefusedBeforeAnythingRuns) {
    records.home.clear();
    InProcessResult r = run({L"unpack-archive", upload(L"site.zip"), site(L"example.com\\httpdocs")});
    EXPECT_NE(r.out.find("Unable to get user ("), std::string::npos) << r.out;
    EXPECT_EQ(snapshot(site(L"example.com\\httpdocs")), TreeSnapshot{});
}

TEST_F(UnpackArchiveTest, AHomeThatIsNoAbsolutePathIsRefused) {
    // Started inside the hosting area, a relative home would name another account's site.
    std::wstring other = tree.folder(L"vhosts\\other.example");
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(tree.path(L"vhosts").c_str());
    std::wstring archive = upload(L"site.zip");
    TreeSnapshot before = snapshot(tree.root());
    for (const wchar_t* home : {L"other.example", L".\\other.example", L"C:other.example", L"\\other.example"}) {
        SCOPED_TRACE(text::toUtf8(home));
        records.home = home;
        InProcessResult r = run({L"unpack-archive", archive, site(L"example.com\\httpdocs")});
        EXPECT_NE(r.out.find("Unable to get user ("), std::string::npos) << r.out;
        EXPECT_EQ(snapshot(tree.root()), before);
    }
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(snapshot(other), TreeSnapshot{});
}

TEST_F(UnpackArchiveTest, AHomeOutsideTheManagedAreaIsNotWrittenInto) {
    records.home = tree.path(L"outside");
    InProcessResult r = run({L"unpack-archive", upload(L"site.zip"), site(L"example.com\\httpdocs")});
    EXPECT_NE(r.out.find("path_is_not_allowed"), std::string::npos) << r.out;
    EXPECT_EQ(snapshot(tree.path(L"outside")), TreeSnapshot{});
}

TEST_F(UnpackArchiveTest, TheArchiverRunsWithTheThreadsImpersonationToken) {
    // The thread acts for an account (here a copy of the process's own): the archiver is started
    // with that token as its primary token and still unpacks. The program runs as a service
    // (the panel's), whose privileges let it assign an account's token to a child.
    substitute.token().privileges = {SE_ASSIGNPRIMARYTOKEN_NAME, SE_INCREASE_QUOTA_NAME, SE_IMPERSONATE_NAME};
    ASSERT_TRUE(ImpersonateSelf(SecurityImpersonation));
    std::wstring destination = site(L"example.com\\httpdocs\\as-user");
    InProcessResult r = run({L"unpack-archive", upload(L"site.zip"), destination});
    RevertToSelf();
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(snapshot(destination), siteTree(L""));
}

TEST_F(UnpackArchiveTest, AnArchiverThatCannotStartLeavesNoTemporaryDirectory) {
    templates.table[L"ZIP/Test"] = L"missing-archiver.exe zip t %%A";
    std::wstring archive = upload(L"site.zip");
    TreeSnapshot before = snapshot(tree.root());
    InProcessResult r = run({L"unpack-archive", archive, site(L"example.com\\httpdocs")});
    EXPECT_NE(r.out.find("Unable to start the archiver"), std::string::npos) << r.out;
    EXPECT_EQ(snapshot(tree.root()), before);
}

TEST_F(UnpackArchiveTest, AFailedMoveTakesTheTemporaryDirectoryAway) {
    // The destination is a file: neither a rename nor a copy into it can succeed.
    std::wstring destination = tree.file(L"vhosts\\example.com\\httpdocs\\taken", "a file");
    std::wstring archive = upload(L"site.zip");
    TreeSnapshot before = snapshot(tree.root());
    InProcessResult r = run({L"unpack-archive", archive, destination});
    EXPECT_NE(r.out.find("<XmlError"), std::string::npos) << r.out;
    EXPECT_EQ(snapshot(tree.root()), before);
}

// Whatever the archiver produced, a tree holding a reparse point is not moved: a junction made
// inside the temporary directory (as by another archiver, or by the account while it ran) would
// lead the move and the entries set afterwards out of the tree.
class JunctionPlanting : public SubstitutePlatform {
public:
    std::wstring target;
    bool planted = false;

    DWORD findFirstFile(const std::wstring& pattern, WIN32_FIND_DATAW* data, HANDLE* find) override {
        size_t brace = pattern.find(L"\\{");
        if (!planted && brace != std::wstring::npos && pattern.find(L"\\site\\") != std::wstring::npos) {
            planted = true;
            std::wstring site = pattern.substr(0, pattern.find(L"\\site\\") + 5);
            addJunction(site + L"\\empty", target);
        }
        return SubstitutePlatform::findFirstFile(pattern, data, find);
    }
};

TEST_F(UnpackArchiveTest, ATreeWithAReparsePointIsNotMovedIntoPlace) {
    JunctionPlanting planting;
    planting.setToken(substitute.token());
    planting.target = tree.folder(L"outside\\target");
    tree.file(L"outside\\target\\precious.txt", "precious");
    ScopedPlatform plantingPlatform(planting);
    std::wstring archive = upload(L"site.zip");
    TreeSnapshot before = snapshot(tree.root());
    InProcessResult r = run({L"unpack-archive", archive, site(L"example.com\\httpdocs")});
    EXPECT_TRUE(planting.planted);
    EXPECT_EQ(r.out, invalid(archive));
    EXPECT_EQ(snapshot(tree.root()), before); // the junction went, its target stayed whole
}

std::vector<std::pair<BYTE, DWORD>> entriesOf(const std::optional<StoredSecurity>& stored) {
    std::vector<std::pair<BYTE, DWORD>> entries;
    if (!stored || !stored->dacl) return entries;
    security::Acl acl =
        security::Acl::copyOf(reinterpret_cast<PACL>(const_cast<BYTE*>(stored->dacl->data())));
    for (const security::Ace& ace : acl.aces())
        entries.emplace_back(ace.flags(), ace.mask());
    return entries;
}

TEST_F(UnpackArchiveTest, TheDestinationsInheritableEntriesReachTheUnpackedTree) {
    // A rename keeps what the tree inherited in the home; the destination's entries replace it.
    std::wstring destination = site(L"example.com\\httpdocs");
    security::Acl dacl = aclOf(
        {security::Ace::allowed(FILE_ALL_ACCESS, everyoneSid(), OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE),
         security::Ace::allowed(FILE_READ_DATA, usersGroupSid(), OBJECT_INHERIT_ACE),
         security::Ace::allowed(FILE_WRITE_DATA, otherUserSid(), 0)});
    const BYTE* bytes = reinterpret_cast<const BYTE*>(dacl.get());
    substitute.setSecurity(destination, {userSid(), usersGroupSid(),
                                         std::vector<BYTE>(bytes, bytes + dacl.get()->AclSize), true});
    ASSERT_EQ(run({L"unpack-archive", upload(L"site.tgz"), destination}).out, "");

    using Entries = std::vector<std::pair<BYTE, DWORD>>;
    const Entries forFiles{{INHERITED_ACE, FILE_ALL_ACCESS}, {INHERITED_ACE, FILE_READ_DATA}};
    const Entries forFolders{{OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE | INHERITED_ACE, FILE_ALL_ACCESS},
                             {OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE | INHERITED_ACE, FILE_READ_DATA}};
    EXPECT_EQ(entriesOf(substitute.security(destination + L"\\site")), forFolders);
    EXPECT_EQ(entriesOf(substitute.security(destination + L"\\site\\css")), forFolders);
    EXPECT_EQ(entriesOf(substitute.security(destination + L"\\site\\index.html")), forFiles);
    EXPECT_EQ(entriesOf(substitute.security(destination + L"\\site\\css\\style.css")), forFiles);
    EXPECT_FALSE(substitute.security(destination + L"\\site\\css\\style.css")->protectedDacl);
    EXPECT_EQ(entriesOf(substitute.security(destination)).size(), 3u); // the destination itself stays
}

TEST_F(UnpackArchiveTest, WithoutTheAccountsTokenTheArchiverDoesNotRunAtAll) {
    // Failing to read the thread's token must not fall back to the program's own rights.
    substitute.failNext(Call::openThreadToken, L"", ERROR_ACCESS_DENIED);
    std::string failure =
        failureOf<RunTime::AccessDeniedException>([&] {
            files::runArchiver(quoteArgument(builtProgram(L"archiver.exe")) + L" zip v", home);
        }).what();
    EXPECT_NE(failure.find("Unable to start the archiver"), std::string::npos) << failure;
    // The next start, with the token readable, runs.
    EXPECT_EQ(files::runArchiver(quoteArgument(builtProgram(L"archiver.exe")) + L" zip v", home).exitCode,
              0u);
}

} // namespace

namespace {

using namespace testsupport;

// Entries that would fall on one name, device names, a NUL in a name, a zip whose two records of
// a name disagree, and gzip files whose output name no program could open: each refused as a
// whole before anything reaches the site or stays in the home.
TEST_F(UnpackArchiveTest, CraftedNamesAreRefusedWithNothingWritten) {
    std::wstring destination = site(L"example.com\\httpdocs");
    tree.file(L"vhosts\\example.com\\httpdocs\\site\\index.html", "the customer's own");
    for (const wchar_t* name :
         {L"case-twins.zip", L"unicode-twins.zip", L"same-name.zip", L"file-then-folder.zip",
          L"file-then-folder.tar", L"folder-then-file.tar", L"nul-name.zip", L"local-name.zip", L"clock.zip",
          L"com0.zip", L"superscript.zip", L"lpt-superscript.tar", L"lpt0.tar", L"trailing..gz", L"com0.gz",
          L"lpt\u00b9.txt.gz"}) {
        SCOPED_TRACE(text::toUtf8(name));
        std::wstring archive = upload(name);
        TreeSnapshot before = snapshot(tree.root());
        InProcessResult r = run({L"unpack-archive", archive, destination});
        EXPECT_EQ(r.out, invalid(archive));
        EXPECT_EQ(snapshot(tree.root()), before);
    }
}

TEST_F(UnpackArchiveTest, BombsStopAtTheLimitsWithNothingLeft) {
    templates.table[L"/MaxUnpackedMB"] = L"1";
    templates.table[L"/MaxEntries"] = L"20";
    for (const wchar_t* name : {L"bomb.zip", L"bomb.tgz", L"sparse.tar", L"many.zip"}) {
        SCOPED_TRACE(text::toUtf8(name));
        std::wstring archive = upload(name);
        TreeSnapshot before = snapshot(tree.root());
        EXPECT_EQ(run({L"unpack-archive", archive, site(L"example.com\\httpdocs")}).out, invalid(archive));
        EXPECT_EQ(snapshot(tree.root()), before);
    }
    // The same settings let a sound archive through.
    EXPECT_EQ(run({L"unpack-archive", upload(L"site.zip"), site(L"example.com\\httpdocs\\ok")}).out, "");
}

TEST_F(UnpackArchiveTest, ARunPastTheTimeLimitIsEndedWithNothingLeft) {
    // Extracting 10,000 files takes the archiver several seconds under Wine.
    templates.table[L"/MaxSeconds"] = L"1";
    std::wstring archive = upload(L"wide.tar");
    TreeSnapshot before = snapshot(tree.root());
    EXPECT_EQ(run({L"unpack-archive", archive, site(L"example.com\\httpdocs\\wide")}).out, invalid(archive));
    EXPECT_EQ(snapshot(tree.root()), before);
}

TEST_F(UnpackArchiveTest, TheLimitsComeFromTheSettingsWithinTheFreeSpace) {
    using files::kFreeSpaceReserve;
    files::UnpackLimits limits = files::unpackLimits(home);
    EXPECT_EQ(limits.maxEntries, files::kDefaultMaxEntries);
    EXPECT_EQ(limits.maxSeconds, files::kDefaultMaxSeconds);
    EXPECT_LE(limits.maxBytes, files::kDefaultMaxUnpackedMB << 20);

    templates.table[L"/MaxUnpackedMB"] = L"5";
    templates.table[L"/MaxEntries"] = L"12";
    templates.table[L"/MaxSeconds"] = L"30";
    limits = files::unpackLimits(home);
    EXPECT_EQ(limits.maxBytes, 5u << 20);
    EXPECT_EQ(limits.maxEntries, 12u);
    EXPECT_EQ(limits.maxSeconds, 30u);
    EXPECT_EQ(files::archiverLimitArguments(limits), L"--max-bytes=5242880 --max-entries=12");
    // What says nothing usable leaves the default; no setting lifts the bound of the free space.
    for (const wchar_t* value : {L"", L"0", L"-5", L"12abc", L"99999999999999999999999"}) {
        templates.table[L"/MaxEntries"] = value;
        EXPECT_EQ(files::unpackLimits(home).maxEntries, files::kDefaultMaxEntries) << text::toUtf8(value);
    }
    templates.table[L"/MaxUnpackedMB"] = L"999999999";
    substitute.setFreeSpace(kFreeSpaceReserve + 4096);
    EXPECT_EQ(files::unpackLimits(home).maxBytes, 4096u);
    substitute.setFreeSpace(kFreeSpaceReserve / 2);
    EXPECT_EQ(files::unpackLimits(home).maxBytes, 0u);

    // With less room than the sound archive needs (3,062 bytes) beyond the reserve, it is refused.
    substitute.setFreeSpace(kFreeSpaceReserve + 3000);
    std::wstring archive = upload(L"site.zip");
    TreeSnapshot before = snapshot(tree.root());
    EXPECT_EQ(run({L"unpack-archive", archive, site(L"example.com\\httpdocs")}).out, invalid(archive));
    EXPECT_EQ(snapshot(tree.root()), before);
    substitute.setFreeSpace(kFreeSpaceReserve + 4096);
    EXPECT_EQ(run({L"unpack-archive", archive, site(L"example.com\\httpdocs")}).out, "");
}

TEST_F(UnpackArchiveTest, TheArchiveIsReadOnceForTheTestAndOnceForTheExtraction) {
    EXPECT_EQ(run({L"unpack-archive", upload(L"site.zip"), site(L"example.com\\httpdocs\\a")}).out, "");
    EXPECT_EQ(templates.asked[L"ZIP/Test"], 1);
    EXPECT_EQ(templates.asked[L"ZIP/Extract"], 1);
    templates.asked.clear();
    // Found by probing: the probe was its test.
    EXPECT_EQ(run({L"unpack-archive", upload(L"site-zip.bin"), site(L"example.com\\httpdocs\\b")}).out, "");
    EXPECT_EQ(templates.asked[L"ZIP/Test"], 1);
    EXPECT_EQ(templates.asked[L"ZIP/Extract"], 1);
}

TEST_F(UnpackArchiveTest, LargeAndDeepArchivesStillUnpack) {
    std::wstring wide = site(L"example.com\\httpdocs\\wide");
    ASSERT_EQ(run({L"unpack-archive", upload(L"wide.tar"), wide}).out, "");
    TreeSnapshot got = snapshot(wide);
    EXPECT_EQ(got.size(), 10101u); // wide, 100 folders, 10,000 files
    EXPECT_EQ(got[L"wide\\d42\\f17.txt"], "4217");

    std::wstring deep = site(L"example.com\\httpdocs\\deep");
    ASSERT_EQ(run({L"unpack-archive", upload(L"deep.zip"), deep}).out, "");
    std::wstring bottom = L"deep40";
    for (int i = 1; i <= 40; ++i)
        bottom += (i < 10 ? L"\\level0" : L"\\level") + std::to_wstring(i);
    got = snapshot(L"\\\\?\\" + deep);
    EXPECT_EQ(got[bottom + L"\\bottom.txt"], "at the bottom\n");
}

// Unpacking into the site: a file where the site has a folder, or the reverse, is found before
// the first item moves, and the site is left as it was.
TEST_F(UnpackArchiveTest, AClashWithTheDestinationMovesNothing) {
    std::wstring destination = site(L"example.com\\httpdocs");
    std::wstring archive = upload(L"site.tgz");
    for (int kind = 0; kind < 2; ++kind) {
        SCOPED_TRACE(kind);
        if (kind == 0)
            tree.file(L"vhosts\\example.com\\httpdocs\\Site", "a file where the archive has a folder");
        else
            tree.folder(L"vhosts\\example.com\\httpdocs\\site\\css\\STYLE.css");
        tree.file(L"vhosts\\example.com\\httpdocs\\keep.txt", "kept");
        TreeSnapshot before = snapshot(tree.root());
        InProcessResult r = run({L"unpack-archive", archive, destination});
        EXPECT_NE(r.out.find("one is a file, the other a folder"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("ErrorCode=\"path_already_exists\""), std::string::npos) << r.out;
        EXPECT_EQ(snapshot(tree.root()), before);
        if (kind == 0) DeleteFileW(site(L"example.com\\httpdocs\\Site").c_str());
    }
}

TEST_F(UnpackArchiveTest, OnlyWhatTheArchiveBroughtInheritsTheDestinationsEntries) {
    std::wstring destination = site(L"example.com\\httpdocs");
    tree.file(L"vhosts\\example.com\\httpdocs\\keep.txt", "the customer's");
    tree.folder(L"vhosts\\example.com\\httpdocs\\site");
    tree.file(L"vhosts\\example.com\\httpdocs\\site\\own.txt", "the customer's");
    setDacl(
        destination, tokenUser(),
        {security::Ace::allowed(FILE_ALL_ACCESS, everyoneSid(), OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)});
    // The customer's own grants: on a file, on a folder the archive merges into, on a file in it.
    setDacl(destination + L"\\keep.txt", tokenUser(),
            {security::Ace::allowed(FILE_READ_DATA, otherUserSid(), 0)});
    setDacl(destination + L"\\site", tokenUser(),
            {security::Ace::allowed(FILE_ALL_ACCESS, usersGroupSid(),
                                    OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)});
    setDacl(destination + L"\\site\\own.txt", tokenUser(),
            {security::Ace::allowed(FILE_WRITE_DATA, otherUserSid(), 0)});
    auto stored = [&](const std::wstring& relative) {
        return entriesOf(substitute.security(destination + relative));
    };
    const auto keep = stored(L"\\keep.txt"), folder = stored(L"\\site"), own = stored(L"\\site\\own.txt");

    ASSERT_EQ(run({L"unpack-archive", upload(L"site.tgz"), destination}).out, "");
    EXPECT_EQ(stored(L"\\keep.txt"), keep);
    EXPECT_EQ(stored(L"\\site"), folder);
    EXPECT_EQ(stored(L"\\site\\own.txt"), own);
    // What arrived in the customer's folder inherits from that folder's list.
    using Entries = std::vector<std::pair<BYTE, DWORD>>;
    EXPECT_EQ(stored(L"\\site\\index.html"), (Entries{{INHERITED_ACE, FILE_ALL_ACCESS}}));
    EXPECT_EQ(stored(L"\\site\\css"),
              (Entries{{OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE | INHERITED_ACE, FILE_ALL_ACCESS}}));
    EXPECT_EQ(stored(L"\\site\\css\\style.css"), (Entries{{INHERITED_ACE, FILE_ALL_ACCESS}}));
    security::Acl dacl = security::Acl::copyOf(reinterpret_cast<PACL>(
        const_cast<BYTE*>(substitute.security(destination + L"\\site\\css\\style.css")->dacl->data())));
    EXPECT_TRUE(dacl.aces().front().sid() == usersGroupSid());
}

} // namespace
