// unpack-archive run as the panel runs it: quarn.exe under Wine for an ordinary account whose home
// comes from the panel database (the private MariaDB server), the identity switch through the
// stand-in's run-as service, the archiver templates from its management service, and archiver.exe
// on archives made by Debian's zip, tar and gzip before the run.
#include "app/Text.h"
#include "security/Token.h"
#include "support/DatabaseFixtures.h"
#include "support/FileFixtures.h"
#include "support/PolicyFixtures.h"
#include "support/Process.h"
#include "support/Standin.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

namespace {

using namespace testsupport;

std::wstring currentUserName() {
    wchar_t name[256] = {};
    DWORD size = 256;
    GetUserNameW(name, &size);
    return name;
}

std::string currentUserSid() {
    return text::toUtf8(security::Token::process(TOKEN_QUERY).user().toString());
}

// The account the run switches to: the current user, the one account whose token the stand-in
// can hand out under Wine (quarn confirms that the thread acts as the account before it unpacks).
// The run is started without Administrators, so it is no administrator and does switch. CTest
// names the user (Wine takes the Unix one, and "root" would stand for the built-in Administrator).
const std::wstring kAccount = currentUserName();
const std::string kAccountSid = currentUserSid();

class UnpackArchiveE2e : public ::testing::Test {
protected:
    UnpackArchiveE2e() : tree(L"C:") {
        home = tree.folder(L"vhosts\\example.com");
        tree.folder(L"vhosts\\example.com\\httpdocs");
        tree.folder(L"outside");
        // The panel's own folders beside the tree the tests compare.
        std::wstring bin = service.folder(L"product\\admin\\bin");
        CopyFileW(builtProgram(L"archiver.exe").c_str(), (bin + L"\\archiver.exe").c_str(), FALSE);
    }

    void SetUp() override {
        if (GetFileAttributesW((corpus + L"\\site.zip").c_str()) == INVALID_FILE_ATTRIBUTES)
            GTEST_SKIP() << "the archive corpus is made by the CTest fixture archive_corpus";
        row = std::make_unique<ScopedAccountRow>(kAccount, home);
        standin = std::make_unique<PanelStandin>(settings());
    }

    // The panel's settings for the scratch tree, the templates of every handler, and the record
    // of the run-as requests outside the tree.
    std::string settings() const {
        std::string text =
            "[strings]\nPRODUCT_ROOT_D=" + text::toUtf8(service.path(L"product")) +
            "\nSHORT_PRODUCT_ROOT_D=" + text::toUtf8(service.path(L"product")) +
            "\nPRODUCT_DATA_D=" + text::toUtf8(service.path(L"data")) +
            "\nHTTPD_VHOSTS_D=" + text::toUtf8(tree.path(L"vhosts")) + "\nDUMP_D=" + text::toUtf8(dumpFolder) +
            "\nCATALINA_HOME=\n"
            "TARNIS_DATABASE_PROVIDER_NAME=MySQL\nMySQL_DB_HOST=127.0.0.1\nMySQL_DB_PORT=" +
            std::to_string(testDatabasePort()) +
            "\nTARNIS_DATABASE_LOGIN=admin\nmySQLDBName=tna\n[passwords]\npwd=setup\n[components]\nfrontpage:2=\n"
            "[runas]\nlog=" +
            text::toUtf8(runAsLog) + "\n" + runAsSettings;
        for (std::string format : {"zip", "tar", "tgz", "gz", "rar", "arj"}) {
            std::string type = format;
            for (char& c : type)
                c = static_cast<char>(toupper(c));
            text += "[ext:MultiArc\\" + type + "]\nTest=archiver.exe " + format + " t %%A\nExtract=archiver.exe " +
                    format + " x %%A\nVersion=archiver.exe " + format + " v\n";
        }
        return text;
    }

    // The archive copied into the site (under its own name or another), as the panel's upload
    // leaves it.
    std::wstring upload(const std::wstring& name, const std::wstring& as = L"") const {
        std::wstring path = home + L"\\" + (as.empty() ? name : as);
        CopyFileW((corpus + L"\\" + name).c_str(), path.c_str(), FALSE);
        return path;
    }

    RunResult unpack(const std::vector<std::wstring>& arguments) const {
        std::vector<std::wstring> line{kAccount, L"unpack-archive"};
        line.insert(line.end(), arguments.begin(), arguments.end());
        return runQuarnWithoutAdministrators(line);
    }

    static std::string errorDocument(const std::string& message, const std::string& code) {
        return "<XmlError Error=\"" + message + "\" ErrorCode=\"" + code + "\" ErrorDetails=\"" + message +
               "\"/>\r\n";
    }
    static std::string invalid(const std::wstring& archive) {
        return errorDocument("Archive " + text::toUtf8(archive) + " is invalid.", "unknown");
    }

    // The sound archives' contents.
    static TreeSnapshot siteTree() {
        return {{L"site", "<dir>"},
                {L"site\\css", "<dir>"},
                {L"site\\css\\style.css", "body { color: red }\n"},
                {L"site\\empty", "<dir>"},
                {L"site\\img", "<dir>"},
                {L"site\\img\\big.txt", std::string(3000, 'x')},
                {L"site\\index.html", "<html>index</html>\n"},
                {L"site\\with space.txt", "with a blank\n"},
                {L"site\\\u00fcn\u00efcode.txt", "not ascii\n"}};
    }

    // No "{GUID}" temporary directory anywhere below `folder`.
    static void expectNoTemporaryDirectory(const std::wstring& folder) {
        for (const auto& [path, content] : snapshot(folder))
            EXPECT_EQ(path.find(L'{'), std::wstring::npos) << text::toUtf8(path);
    }

    ScratchTree tree;
    ScratchTree service;
    std::wstring dumpFolder; // a further allowed root, when a test sets one before SetUp
    std::wstring runAsLog = service.path(L"runas.log");
    std::string runAsSettings; // further [runas] lines, when a test sets them before SetUp
    std::wstring corpus = archiveCorpus();
    std::wstring home;
    std::unique_ptr<ScopedAccountRow> row;
    std::unique_ptr<PanelStandin> standin;
};

TEST_F(UnpackArchiveE2e, ZipTarAndTgzUnpackIntoPlaceForTheAccount) {
    for (const wchar_t* name : {L"site.zip", L"site.tar", L"site.tgz"}) {
        SCOPED_TRACE(text::toUtf8(name));
        std::wstring archive = upload(name, std::wstring(L"up load ") + name); // a blank in the name
        std::wstring destination = home + L"\\httpdocs\\" + name + L".d";
        RunResult r = unpack({archive, destination});
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.exitCode, 0u);
        EXPECT_EQ(snapshot(destination), siteTree());
        expectNoTemporaryDirectory(home);
        EXPECT_EQ(readFile(archive), readFile(corpus + L"\\" + name)); // the archive itself stays
    }
    // Each run asked the run-as service for the Administrator (the checks) and then for the
    // account (the unpacking), in that order, both for the one thread that did the work.
    std::vector<std::string> lines = linesOf(runAsLog);
    ASSERT_EQ(lines.size(), 6u);
    for (size_t i = 0; i < lines.size(); i += 2) {
        const std::string administrator = "kind=5 sid=S-1-5-21-0-0-0-500 ";
        const std::string account = std::string("kind=5 sid=") + kAccountSid + " ";
        ASSERT_EQ(lines[i].rfind(administrator, 0), 0u) << lines[i];
        ASSERT_EQ(lines[i + 1].rfind(account, 0), 0u) << lines[i + 1];
        EXPECT_EQ(lines[i].substr(administrator.size()), lines[i + 1].substr(account.size()));
        EXPECT_NE(lines[i + 1].find("impersonation=ok"), std::string::npos) << lines[i + 1];
    }
}

TEST_F(UnpackArchiveE2e, AnAdministratorsRunNeedsThePanelsAdministratorAccounts) {
    // Run as an administrator, the program must tell whether the account is one of the panel's
    // administrative ones before it switches; Wine has neither of them, so the run ends there,
    // after the checks and before anything is unpacked.
    std::wstring archive = upload(L"site.zip");
    TreeSnapshot before = snapshot(tree.root());
    RunResult r = runQuarn({kAccount, L"unpack-archive", archive, home + L"\\httpdocs"});
    EXPECT_EQ(r.out.rfind("Unable to lookup SID for name tnaadm: (1332) ", 0), 0u) << r.out;
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(snapshot(tree.root()), before);
    EXPECT_EQ(linesOf(runAsLog), std::vector<std::string>{});
}

TEST_F(UnpackArchiveE2e, TheTypeArgumentAndProbingWorkAndThePrivateFolderTakesTheTemporaryTree) {
    tree.folder(L"vhosts\\example.com\\private");
    std::wstring a = home + L"\\httpdocs\\typed", b = home + L"\\httpdocs\\probed";
    RunResult r = unpack({L"tgz", upload(L"site.tgz"), a});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(snapshot(a), siteTree());
    r = unpack({upload(L"site-zip.bin"), b});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(snapshot(b), siteTree());
    EXPECT_EQ(snapshot(home + L"\\private"), TreeSnapshot{});
}

TEST_F(UnpackArchiveE2e, AnArchiveWithoutExtensionIsTheOneUnpacked) {
    // The archiver is given the named file itself: "upload" with the type's extension appended
    // would be another file (here a damaged one), or none at all.
    std::wstring archive = upload(L"site.zip", L"upload");
    upload(L"garbage.zip", L"upload.zip");
    std::wstring destination = home + L"\\httpdocs\\from upload";
    RunResult r = unpack({L"zip", archive, destination});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(snapshot(destination), siteTree());
}

// Damaged and crafted archives (".." entries, an absolute name, a drive letter, links): the
// archive is reported invalid, and nothing anywhere changed, neither the destination nor the
// home (no temporary directory) nor anything outside.
TEST_F(UnpackArchiveE2e, DamagedAndCraftedArchivesChangeNothing) {
    // Where the crafted names would land: the drive's root for "C:/evil.txt" and for "..", and the
    // absolute tar entry (its name is the first field of its header) on C: and on Z: (Wine's "/").
    std::string absolute = readFile(corpus + L"\\absolute.tar").substr(0, 100);
    absolute.resize(absolute.find('\0'));
    ASSERT_EQ(absolute.rfind("/tmp/", 0), 0u) << absolute;
    std::wstring absoluteName = text::fromUtf8(absolute);
    for (wchar_t& c : absoluteName)
        if (c == L'/') c = L'\\';
    const std::wstring escapes[] = {L"C:\\evil.txt", L"C:\\outside.txt", L"C:" + absoluteName, L"Z:" + absoluteName};
    for (bool withPrivate : {false, true}) {
        if (withPrivate) tree.folder(L"vhosts\\example.com\\private");
        std::wstring destination = home + L"\\httpdocs";
        tree.file(L"vhosts\\example.com\\httpdocs\\index.html", "the site's own page");
        for (const wchar_t* name : {L"truncated.zip", L"crc.zip", L"truncated.tgz", L"garbage.zip",
                                    L"traversal.zip", L"traversal.tar", L"absolute.tar", L"drive.zip",
                                    L"symlink.tar", L"symlink.zip", L"hardlink.tar"}) {
            SCOPED_TRACE(text::toUtf8(name) + (withPrivate ? " with private" : ""));
            std::wstring archive = upload(name);
            TreeSnapshot before = snapshot(tree.root());
            RunResult r = unpack({archive, destination});
            EXPECT_EQ(r.out, invalid(archive));
            EXPECT_EQ(r.exitCode, 0u);
            EXPECT_EQ(snapshot(tree.root()), before);
            for (const std::wstring& escaped : escapes)
                EXPECT_EQ(GetFileAttributesW(escaped.c_str()), INVALID_FILE_ATTRIBUTES) << text::toUtf8(escaped);
        }
    }
}

TEST_F(UnpackArchiveE2e, AServiceThatOnlySaysItSwitchedGetsNothingUnpacked) {
    standin.reset();
    runAsSettings = "switch=no\n";
    standin = std::make_unique<PanelStandin>(settings());
    std::wstring archive = upload(L"site.zip");
    TreeSnapshot before = snapshot(tree.root());
    RunResult r = unpack({archive, home + L"\\httpdocs\\site.d"});
    // The first switch (to the Administrator, for the checks) is the one found missing.
    EXPECT_NE(r.out.find("<XmlError Error=\"The run-as service reported a switch to S-1-5-21-0-0-0-500, but the "
                         "thread does not run as it\""),
              std::string::npos)
        << r.out;
    EXPECT_EQ(snapshot(tree.root()), before);
    std::vector<std::string> lines = linesOf(runAsLog);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("impersonation=withheld client=impersonation"), std::string::npos) << lines[0];
}

TEST_F(UnpackArchiveE2e, AMoveThatFailsTakesTheUnpackedTreeAway) {
    // The archive is sound, but the destination's parent does not exist: the move into place
    // fails after the unpacking, and the temporary tree goes with it.
    std::wstring archive = upload(L"site.zip");
    TreeSnapshot before = snapshot(tree.root());
    std::wstring destination = home + L"\\httpdocs\\missing\\deeper";
    RunResult r = unpack({archive, destination});
    EXPECT_NE(r.out.find("ErrorCode=\"path_not_found\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(text::toUtf8(destination)), std::string::npos) << r.out;
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(snapshot(tree.root()), before);
}

TEST_F(UnpackArchiveE2e, AnAccountWithoutAHomeRowOrWithARelativeHomeIsRefused) {
    std::wstring archive = upload(L"site.zip");
    TreeSnapshot before = snapshot(tree.root());
    const std::string message = "Unable to get user (" + text::toUtf8(kAccount) + ") home";
    row->remove();
    RunResult r = unpack({archive, home + L"\\httpdocs"});
    EXPECT_EQ(r.out, errorDocument(message, "unknown"));
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(snapshot(tree.root()), before);
    // A relative home would be taken from wherever the panel happened to start the program.
    for (const wchar_t* relative : {L"example.com", L"vhosts\\example.com"}) {
        row.reset();
        row = std::make_unique<ScopedAccountRow>(kAccount, relative);
        r = unpack({archive, home + L"\\httpdocs"});
        EXPECT_EQ(r.out, errorDocument(message, "unknown"));
        EXPECT_EQ(snapshot(tree.root()), before);
    }
    // Refused in the checks: the service was never asked for the account.
    for (const std::string& line : linesOf(runAsLog))
        EXPECT_EQ(line.find(std::string("sid=") + kAccountSid), std::string::npos) << line;
}

TEST_F(UnpackArchiveE2e, PathsOutsideTheManagedAreaAreRefused) {
    std::wstring archive = upload(L"site.zip");
    std::wstring outsideArchive = tree.path(L"outside\\site.zip");
    CopyFileW(archive.c_str(), outsideArchive.c_str(), FALSE);
    TreeSnapshot before = snapshot(tree.root());
    struct Case {
        std::wstring archive, destination, shown;
    } cases[] = {
        {archive, tree.path(L"outside\\unpacked"), tree.path(L"outside\\unpacked")},
        {archive, service.path(L"product\\admin\\bin"), service.path(L"product\\admin\\bin")},
        {outsideArchive, home + L"\\httpdocs", outsideArchive},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(text::toUtf8(c.destination));
        RunResult r = unpack({c.archive, c.destination});
        EXPECT_NE(r.out.find("ErrorCode=\"path_is_not_allowed\""), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(text::toUtf8(c.shown)), std::string::npos) << r.out;
        EXPECT_EQ(r.exitCode, 0u);
        EXPECT_EQ(snapshot(tree.root()), before);
    }
    // A home the database places outside the managed area is not written into either.
    row.reset();
    row = std::make_unique<ScopedAccountRow>(kAccount, tree.path(L"outside"));
    RunResult r = unpack({archive, home + L"\\httpdocs"});
    EXPECT_NE(r.out.find("ErrorCode=\"path_is_not_allowed\""), std::string::npos) << r.out;
    EXPECT_EQ(snapshot(tree.root()), before);
}

TEST_F(UnpackArchiveE2e, ADestinationOnAnotherVolumeIsFilledByCopying) {
    if (GetFileAttributesW(L"Q:\\") == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no second drive";
    ScratchTree other(L"Q:");
    dumpFolder = other.root();
    standin.reset();
    standin = std::make_unique<PanelStandin>(settings());
    std::wstring destination = other.path(L"unpacked");
    RunResult r = unpack({upload(L"site.tgz"), destination});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(snapshot(destination), siteTree());
    expectNoTemporaryDirectory(home);
}

} // namespace
