// --permissions run in-process against the substitute platform's security store: listings,
// round trips, the inheritance-preserving write, the gate and hostile documents.
#include "commands/PermissionsCommand.h"

#include "app/Text.h"
#include "platform/Platform.h"
#include "security/AclDump.h"
#include "support/DatabaseFixtures.h"
#include "support/FileFixtures.h"
#include "support/InProcess.h"
#include "identity/RunAsClient.h"
#include "support/PolicyFixtures.h"
#include "support/ScriptedRunAs.h"
#include "support/Standin.h"
#include "support/SecurityFixtures.h"
#include "support/SubstitutePlatform.h"
#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

namespace {

using namespace security;
using testsupport::aclOf;

const Sid kUser = Sid::fromString(L"S-1-5-21-7-8-9-1001");
const Sid kOther = Sid::fromString(L"S-1-5-21-7-8-9-1002");
const Sid kAdministrators = Sid::fromString(L"S-1-5-32-544");
const Sid kSystem = Sid::fromString(L"S-1-5-18");
constexpr BYTE kBelow = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

std::vector<BYTE> bytesOf(const Acl& acl) {
    auto* raw = reinterpret_cast<const BYTE*>(acl.get());
    return {raw, raw + acl.get()->AclSize};
}

std::string compact(std::string xml) {
    std::erase_if(xml, [](char c) { return c == '\r' || c == '\n' || c == '\t'; });
    return xml;
}

class PermissionsCommand : public ::testing::Test {
protected:
    PermissionsCommand() : platform(substitute), scoped(settings) {
        settings.strings = {{L"PRODUCT_ROOT_D", tree.path(L"product")},
                            {L"HTTPD_VHOSTS_D", tree.path(L"vhosts")}};
        substitute.setToken({kUser, {{kAdministrators}}, {SE_TAKE_OWNERSHIP_NAME}, {}});
        // The account domain's name is cached per process: the same one as the other command tests.
        substitute.setAccountDomain(Sid::fromString(L"S-1-5-21-7-8-9"), L"WEB01");
        substitute.addAccount({L"WEB01", L"quarn", kUser});
        substitute.addAccount({L"WEB01", L"other", kOther});
        substitute.setTempPath(tree.path(L"vhosts\\"));
        site = tree.folder(L"vhosts\\site");
        tree.file(L"vhosts\\site\\index.html", "<html/>");
        tree.folder(L"vhosts\\site\\sub\\deeper");
        tree.file(L"vhosts\\site\\sub\\a.txt");
        // The site inherits from vhosts: SYSTEM and the administrators everywhere below.
        store(
            tree.path(L"vhosts"),
            aclOf({Ace::allowed(0x1F01FF, kSystem, kBelow), Ace::allowed(0x1F01FF, kAdministrators, kBelow)}),
            true);
        store(site, aclOf({Ace::allowed(0x1F01FF, kSystem, kBelow | INHERITED_ACE),
                           Ace::allowed(0x1F01FF, kAdministrators, kBelow | INHERITED_ACE),
                           Ace::allowed(0x1F01FF, kUser, kBelow)}));
    }
    void store(const std::wstring& path, const Acl& dacl, bool protectedDacl = false) {
        substitute.setSecurity(path, {kUser, kAdministrators, bytesOf(dacl), protectedDacl});
    }
    Acl stored(const std::wstring& path) {
        auto s = substitute.security(path);
        EXPECT_TRUE(s && s->dacl);
        return s && s->dacl ? Acl::copyOf(reinterpret_cast<PACL>(s->dacl->data())) : Acl();
    }
    bool storedProtected(const std::wstring& path) { return substitute.security(path)->protectedDacl; }
    testsupport::InProcessResult run(std::vector<std::wstring> arguments, const std::wstring& account = L"ROOT") {
        arguments.insert(arguments.begin(), {account, L"--permissions"});
        return testsupport::runInProcess(arguments, [this] {
            CommandList list;
            auto command = std::make_unique<Permissions>();
            command->inheritance = [this](const std::wstring& path, DWORD count) {
                auto it = sources.find(text::displayPath(path));
                return it == sources.end() || it->second.size() != count
                           ? std::nullopt
                           : std::optional<std::vector<RunTime::InheritanceEntry>>(it->second);
            };
            command->openDatabase = [this] { return std::make_unique<db::DatabaseConnection>(false, &database); };
            list.push_back(std::move(command));
            return list;
        });
    }
    std::wstring writeDocument(const std::string& xml, const std::wstring& name = L"doc.xml") {
        return tree.file(L"vhosts\\" + name, xml);
    }
    // --set-advanced of the site with read for quarn on everything below, --replace-on-children.
    testsupport::InProcessResult readOnlyForQuarnOnChildren() {
        std::wstring doc =
            writeDocument("<Permissions Type=\"Folder\"><AdvancedAcl><Entry Domain=\"WEB01\" "
                          "Name=\"quarn\" Allow=\"True\"><AccessMask ListFolderOrRead=\"True\"/><ApplyOnto "
                          "Files=\"True\" Subfolders=\"True\" ThisObject=\"True\"/></Entry></AdvancedAcl>"
                          "</Permissions>");
        return run({L"--set-advanced", L"--file=" + site, L"--xml=" + doc, L"--replace-on-children"});
    }

    testsupport::ScratchTree tree;
    testsupport::SubstitutePlatform substitute;
    testsupport::ScopedPlatform platform;
    testsupport::FixedSettings settings;
    testsupport::ScopedSettings scoped;
    // The temporary directory would count as allowed.
    testsupport::ScopedEnvironment tmp{L"tmp", std::nullopt}, temp{L"temp", std::nullopt};
    std::wstring site;
    std::map<std::wstring, std::vector<RunTime::InheritanceEntry>> sources;
    testsupport::TableSettingsSource database = testsupport::TableSettingsSource::testServer();
};

TEST_F(PermissionsCommand, ListNamesEveryAccountWithItsThreeRights) {
    sources[site] = {{1, L"vhosts"}, {1, L"vhosts"}, {0, L""}};
    store(site, aclOf({Ace::allowed(0x1F01FF, kSystem, kBelow | INHERITED_ACE),
                       Ace::allowed(GENERIC_READ, kOther, kBelow), Ace::denied(0x2, kOther, kBelow),
                       Ace::allowed(0x1F01FF, kUser, kBelow)}));
    sources[site] = {{1, L"vhosts"}, {0, L""}, {0, L""}, {0, L""}};
    auto r = run({L"--list", L"--file=" + site});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    std::string xml = compact(r.out);
    EXPECT_NE(xml.find("<Permissions Type=\"Folder\" Change=\"enable\" LocalDomain=\""), std::string::npos)
        << xml;
    EXPECT_NE(
        xml.find("<Owner Domain=\"WEB01\" Name=\"quarn\" Type=\"User\"/><Inherit Type=\"Explicit\"/><Acl>"),
        std::string::npos)
        << xml;
    EXPECT_NE(xml.find("<Ace Domain=\"WEB01\" Name=\"other\" Type=\"User\" Read=\"allow\" Execute=\"\" "
                       "Write=\"deny\"/>"),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("Name=\"quarn\" Type=\"User\" Read=\"allow\" Execute=\"allow\" Write=\"allow\"/>"),
              std::string::npos);
    EXPECT_NE(xml.find("DescType=\"admins\" DescInfo=\"\" Permanent=\"yes\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("DescType=\"system\" DescInfo=\"\" Permanent=\"yes\""), std::string::npos);
    EXPECT_NE(xml.find("Name=\"other\" Type=\"User\" DescType=\"sysaccount\" DescInfo=\"\" Permanent=\"no\""),
              std::string::npos)
        << xml;
}

TEST_F(PermissionsCommand, InheritedWhenEveryEntryComesFromAnAncestorAndUnknownSidsShowAsText) {
    Sid gone = Sid::fromString(L"S-1-5-21-7-8-9-4242");
    substitute.addDeletedSid(gone);
    store(site, aclOf({Ace::allowed(0x1F01FF, kSystem, kBelow | INHERITED_ACE),
                       Ace::allowed(0x1200A9, gone, kBelow | INHERITED_ACE)}));
    sources[site] = {{1, L"vhosts"}, {1, L"vhosts"}};
    auto r = run({L"--list-advanced", L"--file=" + site});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    std::string xml = compact(r.out);
    EXPECT_NE(xml.find("<Inherit Type=\"Inherited\"/><AdvancedAcl>"), std::string::npos) << xml;
    EXPECT_NE(
        xml.find("<Entry Domain=\"\" Name=\"S-1-5-21-7-8-9-4242\" InheritedFrom=\"vhosts\" Allow=\"True\">"),
        std::string::npos)
        << xml;
    EXPECT_NE(
        xml.find(
            "<Account Domain=\"\" Name=\"S-1-5-21-7-8-9-4242\" Type=\"Unknown\" DescType=\"sysaccount\""),
        std::string::npos)
        << xml;
    EXPECT_NE(xml.find("<ParentAdvancedAcl>"), std::string::npos);
}

TEST_F(PermissionsCommand, FileListingsUseTheFileVocabulary) {
    std::wstring file = site + L"\\index.html";
    store(file, aclOf({Ace::allowed(0x1F01FF, kUser, 0)}));
    auto r = run({L"--list-common", L"--file=" + file});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    std::string xml = compact(r.out);
    EXPECT_NE(xml.find("<Permissions Type=\"File\""), std::string::npos);
    EXPECT_EQ(xml.find("ApplyOnto"), std::string::npos);
    EXPECT_EQ(xml.find("ListFolderContents"), std::string::npos);
    EXPECT_NE(
        xml.find("<AllowAccessMask Read=\"True\" Write=\"True\" ReadAndExecute=\"True\" Modify=\"True\" "
                 "FullControl=\"True\"/>"),
        std::string::npos)
        << xml;
    // The site passes its entries on to the file.
    EXPECT_NE(xml.find("<ParentCommonAcl>"), std::string::npos);
}

TEST_F(PermissionsCommand, SetWriteAllowWritesTheFullWriteMask) {
    auto r =
        run({L"--set", L"--file=" + site,
             L"--xml=<Permissions><Acl><Ace Domain=\"WEB01\" Name=\"other\" Read=\"\" Write=\"allow\" "
             L"Execute=\"\"/><Ace Domain=\"WEB01\" Name=\"quarn\" Read=\"\" Write=\"\" Execute=\"\"/></Acl>"
             L"</Permissions>"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, "");
    Acl acl = stored(site);
    // The parent's entries are missing: the whole list is written, protected. The all-empty
    // Ace gives its account nothing.
    ASSERT_EQ(acl.count(), 1u);
    EXPECT_EQ(acl.at(0).mask(), 0x1D0156u);
    EXPECT_EQ(acl.at(0).sid(), kOther);
    EXPECT_EQ(acl.at(0).flags(), kBelow);
    EXPECT_TRUE(storedProtected(site));
}

TEST_F(PermissionsCommand, ParentEntriesPlusOneExplicitEntryIsStoredAsThatEntryWithInheritance) {
    auto r = run(
        {L"--set", L"--file=" + site,
         L"--xml=<Permissions><Acl><Ace Domain=\"NT AUTHORITY\" Name=\"SYSTEM\" Read=\"allow\" "
         L"Write=\"allow\" Execute=\"allow\"/><Ace Domain=\"BUILTIN\" Name=\"Administrators\" Read=\"allow\" "
         L"Write=\"allow\" Execute=\"allow\"/><Ace Domain=\"WEB01\" Name=\"other\" Read=\"allow\"/></Acl>"
         L"</Permissions>"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    Acl acl = stored(site);
    ASSERT_EQ(acl.count(), 1u);
    EXPECT_EQ(acl.at(0).sid(), kOther);
    EXPECT_EQ(acl.at(0).mask(), 0x120089u);
    EXPECT_FALSE(storedProtected(site));
}

TEST_F(PermissionsCommand, RoundTripThroughTheAdvancedDocument) {
    sources[site] = {{1, L"vhosts"}, {1, L"vhosts"}, {0, L""}};
    auto listed = run({L"--list-advanced", L"--file=" + site});
    ASSERT_EQ(listed.exitCode, 0) << listed.out;
    // Edit: the user's explicit entry loses Delete and TakeOwnership.
    std::string xml = listed.out;
    std::smatch m;
    std::regex entry("<Entry Domain=\"WEB01\" Name=\"quarn\" InheritedFrom=\"\"[^]*?</Entry>");
    ASSERT_TRUE(std::regex_search(xml, m, entry));
    std::string edited = std::regex_replace(m.str(), std::regex(" Delete=\"True\""), " Delete=\"False\"");
    edited = std::regex_replace(edited, std::regex(" TakeOwnership=\"True\""), " TakeOwnership=\"False\"");
    xml.replace(m.position(), m.length(), edited);
    std::wstring doc = writeDocument(xml);
    auto set = run({L"--set-advanced", L"--file=" + site, L"--xml=" + doc});
    ASSERT_EQ(set.exitCode, 0) << set.out;
    Acl acl = stored(site);
    // The inherited entries match the parent's: left to inheritance, one explicit entry stays.
    ASSERT_EQ(acl.count(), 1u);
    EXPECT_EQ(acl.at(0).sid(), kUser);
    EXPECT_EQ(acl.at(0).mask(), 0x1F01FFu & ~(DELETE | WRITE_OWNER));
    EXPECT_EQ(acl.at(0).flags(), kBelow);
    EXPECT_FALSE(storedProtected(site));
}

TEST_F(PermissionsCommand, SetCommonTurnsChangedAccountsIntoEntries) {
    std::wstring doc = writeDocument(
        "<Permissions Type=\"Folder\"><CommonAcl><Entry Domain=\"WEB01\" Name=\"other\"><AllowAccessMask "
        "Read=\"True\" ListFolderContents=\"True\"/><DenyAccessMask Write=\"True\"/></Entry></CommonAcl>"
        "</Permissions>");
    auto r = run({L"--set-common", L"--file=" + site, L"--xml=" + doc});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    Acl acl = stored(site);
    ASSERT_EQ(acl.count(), 4u);
    EXPECT_TRUE(acl.at(0).isDeny()); // deny before allow
    EXPECT_EQ(acl.at(0).mask(), 0x116u);
    EXPECT_EQ(acl.at(1).mask(), 0x120089u);
    EXPECT_EQ(acl.at(1).flags(), kBelow);
    EXPECT_TRUE(storedProtected(site));
}

TEST_F(PermissionsCommand, ConvertCommonPrintsTheAdvancedForm) {
    std::wstring doc =
        writeDocument("<Permissions Type=\"File\"><CommonAcl><Entry Domain=\"WEB01\" Name=\"other\">"
                      "<AllowAccessMask FullControl=\"True\"/></Entry></CommonAcl></Permissions>");
    auto r = run({L"--convert-common", L"--xml=" + doc});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    std::string xml = compact(r.out);
    EXPECT_NE(xml.find("</CommonAcl><AdvancedAcl><Entry Domain=\"WEB01\" Name=\"other\" InheritedFrom=\"\" "
                       "Allow=\"True\">"),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("Full=\"True\"/></Entry></AdvancedAcl></Permissions>"), std::string::npos) << xml;
}

TEST_F(PermissionsCommand, WithoutChangePermissionsTheCallerIsToldAndNothingChanges) {
    store(site, aclOf({Ace::allowed(0x1200A9, kUser, kBelow)}));
    substitute.setSecurity(
        site, {kOther, kAdministrators, bytesOf(aclOf({Ace::allowed(0x1200A9, kUser, kBelow)})), true});
    auto before = substitute.security(site)->dacl;
    auto r = run({L"--set", L"--file=" + site, L"--xml=<Permissions/>"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Unable to change the permissions of " + text::toUtf8(site)), std::string::npos)
        << r.out;
    EXPECT_EQ(substitute.security(site)->dacl, before);
}

TEST_F(PermissionsCommand, BadDocumentsFailAndChangeNothing) {
    auto before = substitute.security(site)->dacl;
    std::string many = "<Permissions Type=\"Folder\"><AdvancedAcl>";
    for (int i = 0; i < 10000; ++i)
        many += "<Entry Domain=\"WEB01\" Name=\"other\" Allow=\"True\"/>";
    many += "</AdvancedAcl></Permissions>";
    std::string lol = "<!DOCTYPE P [<!ENTITY a \"aaaaaaaaaa\">";
    for (char c = 'b'; c <= 'k'; ++c) {
        lol += std::string("<!ENTITY ") + c + " \"";
        for (int i = 0; i < 10; ++i)
            lol += std::string("&") + char(c - 1) + ";";
        lol += "\">";
    }
    lol += "]><Permissions><AdvancedAcl><Entry Domain=\"WEB01\" Name=\"&k;\"/></AdvancedAcl></Permissions>";
    const std::vector<std::pair<std::string, std::string>> corpus = {
        {"<Permissions><AdvancedAcl>", "Wrong XML "},
        {"", "Wrong XML "},
        {"<?xml version=\"1.0\"?><!-- nothing -->", "Wrong XML "},
        {"<!DOCTYPE P [<!ENTITY x SYSTEM \"file:///C:/windows/win.ini\">]><Permissions><AdvancedAcl><Entry "
         "Domain=\"WEB01\" Name=\"&x;\" Allow=\"True\"/></AdvancedAcl></Permissions>",
         ""},
        {lol, ""},
        {many, "Too many Entry elements in the document"},
        {"<Permissions><AdvancedAcl><Entry Domain=\"WEB01\" Name=\"nobody\" Allow=\"True\"/></AdvancedAcl>"
         "</Permissions>",
         "Unable to lookup SID for name WEB01\\nobody"},
        {"<Wrong><AdvancedAcl><Entry Domain=\"WEB01\" Name=\"nobody\"/></AdvancedAcl></Wrong>", "Wrong XML "},
    };
    int i = 0;
    for (const auto& [document, message] : corpus) {
        std::wstring doc = writeDocument(document, L"bad" + std::to_wstring(i++) + L".xml");
        auto start = std::chrono::steady_clock::now();
        auto r = run({L"--set-advanced", L"--file=" + site, L"--xml=" + doc});
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1))
            << document.substr(0, 60);
        if (!message.empty()) {
            EXPECT_EQ(r.exitCode, 1) << document.substr(0, 60);
            EXPECT_NE(r.out.find(message), std::string::npos) << r.out;
            EXPECT_EQ(substitute.security(site)->dacl, before) << document.substr(0, 60);
        }
    }
}

// A page or a document of another vocabulary is no permission document, whatever it holds.
TEST_F(PermissionsCommand, DocumentsWhoseRootIsNotPermissionsAreRefusedBeforeAnyWrite) {
    const auto before = substitute.security(site);
    const int writes = substitute.calls(testsupport::Call::setNamedSecurityInfo);
    const std::string everyone = "<Ace Domain=\"\" Name=\"S-1-1-0\" Read=\"allow\" Write=\"allow\" Execute=\"allow\"/>";
    const std::string fullEntry =
        "<Entry Domain=\"\" Name=\"S-1-1-0\" InheritedFrom=\"\" Allow=\"True\"><AccessMask "
        "TraverseFolderOrExecuteFile=\"True\" ListFolderOrRead=\"True\" CreateFilesOrWrite=\"True\" "
        "ChangePermissions=\"True\"/><ApplyOnto Files=\"True\" Subfolders=\"True\" ThisObject=\"True\"/></Entry>";
    const std::string common = "<CommonAcl><Entry Domain=\"\" Name=\"S-1-1-0\"><AllowAccessMask "
                               "FullControl=\"True\"/></Entry></CommonAcl>";
    const std::wstring tree = L"<Tree><Folder Name=\"site\"><Acl>" + text::fromUtf8(everyone) + L"</Acl></Folder></Tree>";
    auto r = run({L"--set", L"--file=" + site, L"--xml=" + tree});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "Wrong XML " + text::toUtf8(tree));
    r = run({L"--set", L"--file=" + site, L"--xml=<Tree><Acl>" + text::fromUtf8(everyone) + L"</Acl></Tree>"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("Wrong XML <Tree>", 0), 0u) << r.out;
    const std::vector<std::pair<std::string, std::string>> documents = {
        {"--set-advanced", "<html><head><title>Permissions</title></head><body><AdvancedAcl>" + fullEntry +
                               "</AdvancedAcl></body></html>"},
        {"--set-advanced", "<Tree Type=\"Folder\"><AdvancedAcl>" + fullEntry + "</AdvancedAcl></Tree>"},
        {"--set-common", "<Tree Type=\"Folder\">" + common + "</Tree>"},
        {"--set-common", "<permissions Type=\"Folder\">" + common + "</permissions>"},
    };
    int i = 0;
    for (const auto& [mode, document] : documents) {
        SCOPED_TRACE(document.substr(0, 40));
        std::wstring doc = writeDocument(document, L"foreign" + std::to_wstring(i++) + L".xml");
        r = run({text::fromUtf8(mode), L"--file=" + site, L"--xml=" + doc});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "Wrong XML " + text::toUtf8(doc));
    }
    EXPECT_EQ(substitute.calls(testsupport::Call::setNamedSecurityInfo), writes);
    EXPECT_EQ(substitute.security(site)->dacl, before->dacl);
    EXPECT_EQ(substitute.security(site)->protectedDacl, before->protectedDacl);
    // Converting prints nothing for such a document.
    std::wstring doc = writeDocument("<Tree Type=\"File\">" + common + "</Tree>", L"convert.xml");
    r = run({L"--convert-common", L"--xml=" + doc});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "Wrong XML " + text::toUtf8(doc));
}

// The common view the caller edits folds every listed entry, inherited ones included: handed
// back unchanged, it adds no explicit entries for accounts whose rights are all inherited.
TEST_F(PermissionsCommand, SetCommonOfTheUnchangedListingAddsNoEntries) {
    sources[site] = {{1, L"vhosts"}, {1, L"vhosts"}, {0, L""}};
    auto listed = run({L"--list-common", L"--file=" + site});
    ASSERT_EQ(listed.exitCode, 0) << listed.out;
    std::wstring doc = writeDocument(listed.out);
    auto r = run({L"--set-common", L"--file=" + site, L"--xml=" + doc, L"--inherit-from-parent"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    Acl acl = stored(site);
    std::vector<Ace> explicitAces;
    for (const Ace& ace : acl.aces())
        if (!(ace.flags() & INHERITED_ACE)) explicitAces.push_back(ace);
    ASSERT_EQ(explicitAces.size(), 1u) << text::toUtf8(security::aclDump(acl));
    EXPECT_EQ(explicitAces[0].sid(), kUser);
    EXPECT_FALSE(storedProtected(site));
}

// Without --file the listing modes are refused by the preparation, not by the parser.
TEST_F(PermissionsCommand, ListingsWithoutAPathAreRefusedByThePreparation) {
    for (const wchar_t* mode : {L"--list", L"--list-common", L"--list-advanced"}) {
        auto r = run({mode});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "Unable to prepare get permission") << text::toUtf8(mode);
    }
    // The setting modes still demand it when they parse.
    auto r = run({L"--set", L"--xml=<Permissions/>"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out, "Unable to prepare get permission");
}

// With the database down a listing that must describe a local account ends with the database's
// message: it does not answer with the account left out.
TEST_F(PermissionsCommand, ListingsEndWhenTheDatabaseFails) {
    std::wstring local;
    ASSERT_EQ(platform::current().computerName(&local), 0u);
    const Sid hosting = Sid::fromString(L"S-1-5-21-7-8-9-1003");
    substitute.addAccount({local, L"hostinguser", hosting});
    std::wstring outside = tree.file(L"product\\notes.txt", "n");
    store(outside, aclOf({Ace::allowed(0x1200A9, hosting, 0)}));
    database.environmentValues[L"TARNIS_DB_PORT"] = L"1";
    for (const std::wstring& path : {outside, site}) {
        for (const wchar_t* mode : {L"--list", L"--list-common", L"--list-advanced"}) {
            SCOPED_TRACE(text::toUtf8(mode) + " " + text::toUtf8(path));
            auto r = run({mode, L"--file=" + path});
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_NE(r.out.find("Failed to connect to database"), std::string::npos) << r.out;
            EXPECT_EQ(r.out.find("<Permissions"), std::string::npos);
        }
    }
}

TEST_F(PermissionsCommand, TheXmlFileMustBeAnAllowedLocalPath) {
    auto before = substitute.security(site)->dacl;
    std::wstring outside = tree.file(L"outside\\doc.xml", "<Permissions Type=\"Folder\"/>");
    for (const std::wstring& xml :
         {outside, std::wstring(L"http://127.0.0.1/doc.xml"), std::wstring(L"\\\\server\\share\\doc.xml")}) {
        auto r = run({L"--set-advanced", L"--file=" + site, L"--xml=" + xml});
        EXPECT_EQ(r.exitCode, 1) << text::toUtf8(xml);
        EXPECT_EQ(substitute.security(site)->dacl, before);
    }
    auto r = run({L"--convert-common", L"--xml=" + outside});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.find("<Permissions"), std::string::npos);
    // Spellings that a URL loader would take elsewhere: escapes decoded to "..", a "file:" URL, a
    // UNC path of the local drive. Each is judged as the literal path it is, and none is read.
    std::wstring encoded = tree.path(L"vhosts\\%2e%2e\\outside\\doc.xml");
    std::wstring url = L"file:///" + outside;
    std::wstring unc = L"\\\\127.0.0.1\\" + outside.substr(0, 1) + L"$" + outside.substr(2);
    for (const std::wstring& xml : {encoded, url, unc}) {
        r = run({L"--convert-common", L"--xml=" + xml});
        EXPECT_EQ(r.exitCode, 1) << text::toUtf8(xml);
        EXPECT_EQ(r.out.find("<Permissions"), std::string::npos) << r.out;
    }
}

TEST_F(PermissionsCommand, TheXmlFileIsReadByItsOwnNameAndAsBytes) {
    // "%41" is "A" to a URL loader; to the file system it is three characters of the name.
    writeDocument("<Permissions Type=\"File\"><CommonAcl/><Literal/></Permissions>", L"doc%41.xml");
    writeDocument("<Permissions Type=\"File\"><CommonAcl/><Decoded/></Permissions>", L"docA.xml");
    auto r = run({L"--convert-common", L"--xml=" + tree.path(L"vhosts\\doc%41.xml")});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("<Literal/>"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("<Decoded/>"), std::string::npos) << r.out;
    // The bytes keep their encoding: a UTF-16 document with its byte-order mark reads as well.
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("<Permissions Type=\"File\"><CommonAcl/><Wide/></Permissions>")) {
        utf16 += c;
        utf16 += '\0';
    }
    r = run({L"--convert-common", L"--xml=" + writeDocument(utf16, L"wide.xml")});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("<Wide/>"), std::string::npos) << r.out;
    // The size limit is checked on the file that is read.
    std::string large = "<Permissions Type=\"File\"><CommonAcl/>" +
                        std::string(xml::XmlDocument::kMaxXmlSizeKilobytes * 1024, ' ') + "</Permissions>";
    r = run({L"--convert-common", L"--xml=" + writeDocument(large, L"large.xml")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("KB)"), std::string::npos) << r.out.substr(0, 200);
}

TEST_F(PermissionsCommand, ReplaceOnChildrenLeavesEveryChildInheriting) {
    std::wstring sub = site + L"\\sub", deeper = site + L"\\sub\\deeper";
    // The access check runs on the real token (Wine's user, in Everyone): it may change "sub".
    store(sub,
          aclOf({Ace::allowed(0x1F01FF, kOther, kBelow),
                 Ace::allowed(WRITE_DAC, testsupport::everyoneSid(), 0)}),
          true);
    store(site + L"\\sub\\a.txt", aclOf({Ace::allowed(0x1F01FF, kOther, 0)}), true);
    // A folder the caller may not change is neither written nor entered.
    tree.folder(L"vhosts\\site\\locked\\inner");
    const Acl lockedAcl = aclOf({Ace::allowed(0x1200A9, kUser, kBelow)});
    substitute.setSecurity(site + L"\\locked", {kOther, kAdministrators, bytesOf(lockedAcl), true});
    store(site + L"\\locked\\inner", aclOf({Ace::allowed(0x1F01FF, kOther, kBelow)}), true);
    auto r = readOnlyForQuarnOnChildren();
    ASSERT_EQ(r.exitCode, 0) << r.out;
    for (const std::wstring& child : {sub, deeper, site + L"\\sub\\a.txt", site + L"\\index.html"}) {
        SCOPED_TRACE(text::toUtf8(child));
        Acl acl = stored(child);
        EXPECT_FALSE(storedProtected(child)) << text::toUtf8(child);
        for (const Ace& ace : acl.aces())
            EXPECT_TRUE(ace.flags() & INHERITED_ACE) << text::toUtf8(child);
    }
    EXPECT_EQ(stored(site + L"\\locked").at(0).mask(), 0x1200A9u);
    EXPECT_TRUE(storedProtected(site + L"\\locked\\inner"));
}

TEST_F(PermissionsCommand, ModesAndTheirMessages) {
    auto r = run({L"--lists"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "command --lists not supported. Possible commands is:\n   --list\n   --list-common\n   "
                     "--list-advanced\n   --set\n   --set-common\n   --set-advanced\n   --convert-common");
    r = run({L"--list", L"--file"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "Unable to prepare get permission");
}

} // namespace

namespace {

// Links below the folder are neither written nor entered, whichever kind they are and wherever
// they lead; every write that is made goes to the object itself on a handle.
TEST_F(PermissionsCommand, ReplaceOnChildrenLeavesLinksAndWhatTheyLeadToAlone) {
    const std::wstring outside = tree.folder(L"outside\\inner");
    tree.file(L"outside\\secret.txt", "s");
    const Acl outsideAcl = aclOf({Ace::allowed(0x1F01FF, kOther, kBelow)});
    for (const std::wstring& path : {tree.path(L"outside"), outside, tree.path(L"outside\\secret.txt")})
        store(path, outsideAcl, true);
    substitute.addJunction(site + L"\\junction", tree.path(L"outside"));
    substitute.addSymbolicLink(site + L"\\sub\\folderlink", tree.path(L"outside"), true);
    substitute.addSymbolicLink(site + L"\\filelink.txt", tree.path(L"outside\\secret.txt"), false);
    auto files = testsupport::snapshot(tree.root());
    auto r = readOnlyForQuarnOnChildren();
    files[L"vhosts\\doc.xml"] = testsupport::readFile(tree.path(L"vhosts\\doc.xml"));
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_FALSE(substitute.securityWrites().empty());
    const std::wstring outsideKey = testsupport::SubstitutePlatform::key(tree.path(L"outside"));
    for (const testsupport::SecurityWrite& w : substitute.securityWrites()) {
        SCOPED_TRACE(text::toUtf8(w.object));
        EXPECT_TRUE(w.byHandle);
        EXPECT_FALSE(w.followedLink);
        EXPECT_NE(w.object.rfind(outsideKey, 0), 0u);
        for (const wchar_t* link : {L"\\junction", L"\\sub\\folderlink", L"\\filelink.txt"})
            EXPECT_NE(w.object, testsupport::SubstitutePlatform::key(site + link));
    }
    for (const std::wstring& path : {tree.path(L"outside"), outside, tree.path(L"outside\\secret.txt")}) {
        EXPECT_EQ(stored(path).at(0), outsideAcl.at(0));
        EXPECT_TRUE(storedProtected(path));
    }
    EXPECT_EQ(testsupport::snapshot(tree.root()), files);
}

// The path named for a change of permissions is judged on the object itself when the command runs:
// a junction or symbolic link there (planted after the check, say) is refused, nothing is written.
TEST_F(PermissionsCommand, SetOnALinkIsRefusedAndWritesNothing) {
    tree.folder(L"outside");
    store(tree.path(L"outside"), aclOf({Ace::allowed(0x1F01FF, kOther, kBelow)}), true);
    substitute.addJunction(site + L"\\junction", tree.path(L"outside"));
    substitute.addSymbolicLink(site + L"\\link", tree.path(L"outside"), true);
    const auto before = substitute.security(tree.path(L"outside"))->dacl;
    std::wstring doc = writeDocument("<Permissions Type=\"Folder\"><AdvancedAcl/></Permissions>");
    for (const wchar_t* name : {L"\\junction", L"\\link"}) {
        const std::wstring link = site + name;
        for (auto args : {std::vector<std::wstring>{L"--set", L"--file=" + link,
                                                    L"--xml=<Permissions><Acl/></Permissions>"},
                          {L"--set-advanced", L"--file=" + link, L"--xml=" + doc, L"--replace-on-children"}}) {
            auto r = run(args);
            EXPECT_EQ(r.exitCode, 1) << r.out;
            EXPECT_NE(r.out.find("Unable to change the permissions of " + text::toUtf8(link)), std::string::npos)
                << r.out;
        }
    }
    EXPECT_TRUE(substitute.securityWrites().empty());
    EXPECT_EQ(substitute.security(tree.path(L"outside"))->dacl, before);
}

// Run as the hosting account "quarn": the run-as service switches the thread to it before execute.
// The setting modes judge the account's right to change the permissions with its own token, then
// ask the service for the local Administrator before the first write.
class PermissionsCommandAsAccount : public PermissionsCommand {
protected:
    PermissionsCommandAsAccount() {
        // The panel's own administrator accounts are looked up before any switch.
        substitute.addAccount({L"WEB01", L"tnaadm", Sid::fromString(L"S-1-5-21-7-8-9-1010")});
        substitute.addAccount({L"WEB01", L"Tarnis Administrator", Sid::fromString(L"S-1-5-21-7-8-9-1011")});
        substitute.setThreadToken(testsupport::SubstituteToken{kUser, {}, {}, {}});
    }

    struct Request {
        std::string bytes;
        size_t writesBefore; // the security writes made when it arrived
    };
    // The command as "quarn", served by a run-as service that answers `served` requests with
    // success: the first switches the thread to the account, the second (the Administrator) to a
    // token read as the Administrator's unless `adminSwitches` is false.
    testsupport::InProcessResult runAsAccount(std::vector<std::wstring> arguments, size_t served,
                                              bool adminSwitches = true) {
        testsupport::ServicePipeLock lock;
        const size_t size = testsupport::ScriptedRunAs::requestSize(kUser.length());
        testsupport::InProcessResult r;
        {
            testsupport::ScriptedRunAs service(RunTime::kRunAsPipeName, {[&](Con::ServerPipe& pipe) {
                for (size_t i = 0; i < served; ++i) {
                    std::string bytes = testsupport::ScriptedRunAs::readBytes(pipe, size);
                    requests.push_back({bytes, substitute.securityWrites().size()});
                    if (bytes.size() < size) return;
                    if (i == 1 && !adminSwitches) {
                        testsupport::ScriptedRunAs::reply(pipe, 0, L"");
                        continue;
                    }
                    // The command's thread waits for the reply: the substitute is not in use.
                    if (i == 1) substitute.setThreadToken(testsupport::SubstituteToken{kAdministrator, {{kAdministrators}}, {}, {}});
                    testsupport::ScriptedRunAs::switchRequester(bytes);
                    testsupport::ScriptedRunAs::reply(pipe, 0, L"");
                }
            }});
            r = run(std::move(arguments), L"quarn");
            // A command that ended before its first request leaves the service waiting for a
            // connection: one that closes at once ends its script.
            if (requests.empty()) CloseHandle(CreateFileW(RunTime::kRunAsPipeName, GENERIC_READ | GENERIC_WRITE, 0,
                                                          nullptr, OPEN_EXISTING, 0, nullptr));
        }
        RevertToSelf();
        return r;
    }
    std::string sidOf(const Request& request) const {
        return std::string(request.bytes.substr(12, kUser.length()));
    }
    static std::string bytesOfSid(const Sid& sid) {
        return std::string(reinterpret_cast<const char*>(sid.get()), sid.length());
    }

    const Sid kAdministrator = Sid::fromString(L"S-1-5-21-7-8-9-500");
    std::vector<Request> requests;
};

TEST_F(PermissionsCommandAsAccount, TheWritesRunAsTheAdministratorAfterTheAccountWasJudged) {
    // A folder below the site that only SYSTEM and the administrators may change: as the account,
    // the walk would leave it (and all below it) as it was.
    const std::wstring sub = site + L"\\sub";
    substitute.setSecurity(sub, {kSystem, kAdministrators,
                                 bytesOf(aclOf({Ace::allowed(0x1F01FF, kSystem, kBelow),
                                                Ace::allowed(0x1F01FF, kAdministrators, kBelow)})),
                                 true});
    std::wstring doc =
        writeDocument("<Permissions Type=\"Folder\"><AdvancedAcl><Entry Domain=\"WEB01\" Name=\"quarn\" "
                      "Allow=\"True\"><AccessMask Full=\"True\"/><ApplyOnto Files=\"True\" Subfolders=\"True\" "
                      "ThisObject=\"True\"/></Entry></AdvancedAcl></Permissions>");
    auto r = runAsAccount({L"--set-advanced", L"--file=" + site, L"--xml=" + doc, L"--replace-on-children"}, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.exitCode, 0);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(sidOf(requests[0]), bytesOfSid(kUser));
    EXPECT_EQ(requests[1].bytes[4], 5); // run as user impersonated
    EXPECT_EQ(sidOf(requests[1]), bytesOfSid(kAdministrator));
    EXPECT_EQ(requests[1].writesBefore, 0u); // nothing was written as the account
    EXPECT_FALSE(substitute.securityWrites().empty());
    // The walk reached the folder the account could not change: it now inherits the site's entries.
    EXPECT_FALSE(storedProtected(sub));
    bool inheritsQuarn = false;
    for (const Ace& ace : stored(sub).aces())
        inheritsQuarn = inheritsQuarn || (ace.sid() == kUser && (ace.flags() & INHERITED_ACE));
    EXPECT_TRUE(inheritsQuarn);
}

TEST_F(PermissionsCommandAsAccount, AnAccountWithoutChangePermissionsGetsNoAdministrator) {
    // The administrators may change the site, the account may not: the gate judges the account.
    substitute.setSecurity(site, {kOther, kAdministrators,
                                  bytesOf(aclOf({Ace::allowed(0x1200A9, kUser, kBelow),
                                                 Ace::allowed(0x1F01FF, kAdministrators, kBelow)})),
                                  true});
    auto before = substitute.security(site)->dacl;
    auto r = runAsAccount({L"--set", L"--file=" + site, L"--xml=<Permissions/>"}, 1);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Unable to change the permissions of " + text::toUtf8(site)), std::string::npos) << r.out;
    EXPECT_EQ(requests.size(), 1u);
    EXPECT_EQ(substitute.security(site)->dacl, before);
    EXPECT_TRUE(substitute.securityWrites().empty());
}

TEST_F(PermissionsCommandAsAccount, AnAdministratorSwitchThatDidNotHappenWritesNothing) {
    auto before = substitute.security(site)->dacl;
    auto r = runAsAccount({L"--set", L"--file=" + site, L"--xml=<Permissions/>"}, 2, false);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "The run-as service reported a switch to S-1-5-21-7-8-9-500, but the thread does not run as it");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(substitute.security(site)->dacl, before);
    EXPECT_TRUE(substitute.securityWrites().empty());
}

} // namespace
