#include "app/Exceptions.h"
#include "app/Text.h"
#include "commands/files/FileHelpers.h"
#include "identity/Administrators.h"
#include "support/InProcess.h"
#include "support/PolicyFixtures.h"
#include "support/SubstitutePlatform.h"

#include <gtest/gtest.h>

namespace {

using testsupport::Call;
using testsupport::runInProcess;

const security::Sid kUser = security::Sid::fromString(L"S-1-5-21-7-8-9-1001");
const security::Sid kAdministrators = security::Sid::fromString(L"S-1-5-32-544");

class FileExistCommand : public ::testing::Test {
protected:
    FileExistCommand()
        : platform(substitute), scoped(settings), tmp(L"tmp", std::nullopt), temp(L"temp", std::nullopt) {
        tree.file(L"vhosts\\site\\index.html", "<html/>");
        tree.file(L"outside\\secret.txt");
        substitute.setTempPath(tree.path(L"vhosts\\"));
        settings.strings = {{L"PRODUCT_ROOT_D", tree.path(L"product")}, {L"HTTPD_VHOSTS_D", tree.path(L"vhosts")}};
        substitute.setToken({kUser, {{kAdministrators}}, {SE_TAKE_OWNERSHIP_NAME}, {}});
        // The process user is a real account: entries for it survive the clean-up of written DACLs.
        substitute.addAccount({L"WEB01", L"quarn", kUser});
    }
    testsupport::InProcessResult fileExists(const std::wstring& path) {
        return runInProcess({L"ROOT", L"file_exists", path});
    }
    std::string errorDocument(const char* error, const char* code, const std::wstring& details) {
        return std::string("<XmlError Error=\"") + error + "\" ErrorCode=\"" + code + "\" ErrorDetails=\"" +
               text::toUtf8(details) + "\"/>\r\n";
    }

    testsupport::ScratchTree tree;
    testsupport::SubstitutePlatform substitute;
    testsupport::ScopedPlatform platform;
    testsupport::FixedSettings settings;
    testsupport::ScopedSettings scoped;
    testsupport::ScopedEnvironment tmp, temp;
};

TEST_F(FileExistCommand, PrintsZeroOrOneInsideTheAllowedArea) {
    auto r = fileExists(tree.path(L"vhosts\\site\\index.html"));
    EXPECT_EQ(r.out, "0\n");
    EXPECT_EQ(r.exitCode, 0);
    r = fileExists(tree.path(L"vhosts\\site"));
    EXPECT_EQ(r.out, "0\n");
    r = fileExists(tree.path(L"vhosts\\site\\missing.html"));
    EXPECT_EQ(r.out, "1\n");
    EXPECT_EQ(r.exitCode, 0);
    r = fileExists(tree.path(L"vhosts\\no\\such\\folder"));
    EXPECT_EQ(r.out, "1\n");
}

TEST_F(FileExistCommand, RefusalsBecomeErrorDocuments) {
    auto r = fileExists(tree.path(L"outside\\secret.txt"));
    EXPECT_EQ(r.out, errorDocument("Path is not allowed.", "path_is_not_allowed",
                                   tree.path(L"outside\\secret.txt") + L": Path is not allowed"));
    EXPECT_EQ(r.exitCode, 0);

    r = fileExists(tree.path(L"vhosts\\site\\lpt1.log.txt"));
    EXPECT_EQ(r.out, errorDocument("Path is invalid.", "path_is_invalid",
                                   tree.path(L"vhosts\\site\\lpt1.log.txt") +
                                       L": contains reserved device names that cannot be used as the name of a file."));
    EXPECT_EQ(r.exitCode, 0);

    r = fileExists(L"C:\\..");
    EXPECT_EQ(r.out, errorDocument("Invalid input path () + (C:\\..)", "unknown", L"Invalid input path () + (C:\\..)"));
    EXPECT_EQ(runInProcess({L"ROOT", L"file_exists"}).out, "Usage:\nfile_exists path\n");
}

TEST_F(FileExistCommand, AccessDeniedIsRecoveredByTakingOwnership) {
    std::wstring file = tree.path(L"vhosts\\site\\index.html");
    // The policy's own look at the path comes first; the command's query is the second call.
    substitute.failNext(Call::getFileAttributes, file, ERROR_ACCESS_DENIED, 2);
    auto r = fileExists(file);
    EXPECT_EQ(r.out, "0\n");

    // The process user became the owner and holds GENERIC_ALL; the privilege was enabled first.
    auto stored = substitute.security(file);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->owner, kUser);
    ASSERT_TRUE(stored->dacl.has_value());
    auto* acl = reinterpret_cast<PACL>(stored->dacl->data());
    bool granted = false;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(acl, i, reinterpret_cast<void**>(&ace)));
        if (ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE && security::Sid(&ace->SidStart) == kUser)
            granted = ace->Mask == GENERIC_ALL;
    }
    EXPECT_TRUE(granted);
    EXPECT_EQ(substitute.token().enabled, std::vector<std::wstring>{SE_TAKE_OWNERSHIP_NAME});
}

TEST_F(FileExistCommand, AccessDeniedThatStaysIsReportedNotTakenForMissing) {
    std::wstring file = tree.path(L"vhosts\\site\\index.html");
    substitute.failNext(Call::getFileAttributes, file, ERROR_ACCESS_DENIED, 1 + 15);
    auto r = fileExists(file);
    EXPECT_NE(r.out.find("ErrorCode=\"access_is_denied\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Unable to get file (" + text::toUtf8(file) + ") attributes: (5) "), std::string::npos);
    EXPECT_EQ(substitute.calls(Call::getFileAttributes, file), 1 + 15);

    // A grant that is itself refused ends the attempts at once.
    substitute.failNext(Call::getFileAttributes, file, ERROR_ACCESS_DENIED, 1 + 15);
    substitute.failNext(Call::setSecurityInfo, file, ERROR_ACCESS_DENIED, 1);
    r = fileExists(file);
    EXPECT_NE(r.out.find("ErrorCode=\"access_is_denied\""), std::string::npos) << r.out;
}

TEST_F(FileExistCommand, SettingsThatCannotBeReadFailTheCommandAsADocument) {
    class Broken : public testsupport::FixedSettings {
        std::wstring getString(const std::wstring&) override { throw vexception(L"Unable to connect to pipe"); }
    } broken;
    testsupport::ScopedSettings use(broken);
    auto r = fileExists(tree.path(L"vhosts\\site"));
    EXPECT_EQ(r.out, errorDocument("Unable to connect to pipe", "unknown", L"Unable to connect to pipe"));
    EXPECT_EQ(r.exitCode, 0);
}

TEST(FileHelpers, AdministratorOnlyWhenTheGroupIsNotDenyOnly) {
    testsupport::SubstitutePlatform substitute;
    testsupport::ScopedPlatform installed(substitute);
    substitute.setToken({kUser, {{security::Sid::fromString(L"S-1-1-0")}, {kAdministrators}}, {}, {}});
    EXPECT_TRUE(identity::isAdministrator());
    substitute.setToken({kUser, {{kAdministrators, SE_GROUP_USE_FOR_DENY_ONLY}}, {}, {}});
    EXPECT_FALSE(identity::isAdministrator());
    substitute.setToken({kUser, {}, {}, {}});
    EXPECT_FALSE(identity::isAdministrator());
}

TEST(FileHelpers, ClearAttributesAndMissingPaths) {
    testsupport::ScratchTree tree;
    testsupport::SubstitutePlatform substitute;
    testsupport::ScopedPlatform installed(substitute);
    std::wstring file = tree.file(L"f.txt");

    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(files::clearAttributes(paths::NormalPath(file), false));
    EXPECT_EQ(GetFileAttributesW(file.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY),
              DWORD(FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(files::clearAttributes(paths::NormalPath(file), true));
    EXPECT_EQ(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    substitute.failNext(Call::setFileAttributes, file, ERROR_ACCESS_DENIED);
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_SYSTEM));
    EXPECT_FALSE(files::clearAttributes(paths::NormalPath(file), true));
    EXPECT_THROW(files::requireAttributes(paths::NormalPath(tree.path(L"missing")), 0), RunTime::PathNotFoundException);
    EXPECT_EQ(files::getAttributes(paths::NormalPath(tree.path(L"missing")), 0), INVALID_FILE_ATTRIBUTES);
}

} // namespace
