// Account classification against the panel database of the private MariaDB server, with the
// hosting accounts supplied by the substitute platform (Wine knows only its own user).
#include "permissions/AccountTable.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "platform/Platform.h"
#include "support/DatabaseFixtures.h"
#include "support/SubstitutePlatform.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace permissions;
using security::Sid;
using testsupport::LocalAccount;
using testsupport::LogCounter;
using testsupport::ScopedPlatform;
using testsupport::SubstitutePlatform;

const wchar_t* const kVhosts = L"C:\\inetpub\\vhosts";

std::wstring computer() {
    std::wstring name;
    EXPECT_EQ(platform::current().computerName(&name), 0u);
    return name;
}

class AccountTableTest : public ::testing::Test {
protected:
    AccountTableTest() : connection(true, &source), table(connection), scoped(substitute) {
        substitute.setAccountDomain(Sid::fromString(L"S-1-5-21-7-7-7"), local);
        int rid = 2000;
        for (const wchar_t* name :
             {L"exampleuser", L"IUSR_exampleuser", L"FPSE_11", L"blogexample", L"IUSR_blogexample",
              L"webexample", L"IUSR_webexample", L"IWPD_1(exampleuser)", L"o'quote\\back",
              L"IUSR_o'quote\\back", L"averyverylonglogin", L"IUSR_averyverylonglo", L"IWAM_tarnis(default)",
              L"aspnet", L"stranger", L"o\\'quote\\back", L"otheruser", L"IWPC_2(otherclient)"})
            add(name, rid++);
    }
    Sid add(const std::wstring& name, int rid, const std::wstring& domain = L"") {
        Sid sid = Sid::fromString(L"S-1-5-21-7-7-7-" + std::to_wstring(rid));
        substitute.addAccount({domain.empty() ? local : domain, name, sid,
                               name.starts_with(L"FPSE_") ? SidTypeGroup : SidTypeUser});
        substitute.setFullName(name, L"Full " + name);
        return sid;
    }
    Sid sidOf(const std::wstring& name) {
        std::vector<BYTE> sid(68);
        std::wstring domain(256, L'\0');
        DWORD sidSize = 68, domainSize = 256;
        SID_NAME_USE use;
        EXPECT_EQ(substitute.lookupAccountName(local + L"\\" + name, sid.data(), &sidSize, domain.data(),
                                               &domainSize, &use),
                  0u);
        return Sid(sid.data());
    }
    const AccountRecord& record(const std::wstring& name) {
        const AccountRecord* found = table.find(local + L"\\" + name);
        EXPECT_NE(found, nullptr) << "no account " << text::toUtf8(name);
        static AccountRecord none;
        return found ? *found : none;
    }

    testsupport::TableSettingsSource source = testsupport::TableSettingsSource::testServer();
    db::DatabaseConnection connection;
    AccountTable table;
    SubstitutePlatform substitute;
    ScopedPlatform scoped;
    std::wstring local = computer();
};

TEST_F(AccountTableTest, PreparationRegistersTheDomainsAccountsInOrder) {
    table.prepare(L"\\\\?\\C:\\inetpub\\vhosts\\Example.com\\httpdocs", kVhosts);
    std::vector<std::wstring> descTypes;
    for (const AccountRecord& a : table.accounts())
        descTypes.push_back(a.descType);
    EXPECT_EQ(descTypes,
              (std::vector<std::wstring>{L"admins", L"system", L"domusr", L"andomusr", L"fpseandomgrp",
                                         L"subdomusr", L"ansubdomusr", L"webusr", L"anwebusr", L"poolusr"}));
    EXPECT_TRUE(table.accounts()[0].permanent);
    EXPECT_TRUE(table.accounts()[1].permanent);
    EXPECT_TRUE(record(L"exampleuser").permanent);
    EXPECT_EQ(record(L"exampleuser").fullName, L"Full exampleuser");
    EXPECT_FALSE(record(L"IUSR_exampleuser").permanent);
    EXPECT_EQ(record(L"FPSE_11").use, SidTypeGroup);
    EXPECT_EQ(record(L"FPSE_11").fullName, L""); // only users have a full name
    EXPECT_EQ(record(L"IWPD_1(exampleuser)").descType, L"poolusr");
    EXPECT_FALSE(table.defaultPool());
}

TEST_F(AccountTableTest, UnknownAccountsAreWarningsAndSkipped) {
    // FPSE_12 (the blog subdomain's group) is no account here.
    LogCounter warnings(L"Permissions::setAccount: Unable to lookup SID for user FPSE_12");
    table.prepare(L"C:\\inetpub\\vhosts\\example.com", kVhosts);
    EXPECT_EQ(warnings.count(), 1);
    EXPECT_EQ(table.accounts().size(), 10u);
}

TEST_F(AccountTableTest, QuotesAndBackslashesFindExactlyTheirDomain) {
    // o'quote.example has neither a pool of its own nor one of its client: the default applies.
    table.prepare(L"C:\\inetpub\\vhosts\\o'quote.example\\httpdocs", kVhosts);
    std::vector<std::wstring> descTypes;
    for (const AccountRecord& a : table.accounts())
        descTypes.push_back(a.descType);
    EXPECT_EQ(descTypes, (std::vector<std::wstring>{L"admins", L"system", L"domusr", L"andomusr",
                                                    L"subdomusr", L"ansubdomusr", L"poolusr"}));
    EXPECT_TRUE(record(L"o'quote\\back").permanent);
    EXPECT_EQ(record(L"IUSR_averyverylonglo").descType, L"ansubdomusr"); // IUSR_ + login cut to 20
    EXPECT_EQ(record(L"IWAM_tarnis(default)").descType, L"poolusr");
    EXPECT_TRUE(table.defaultPool());
    EXPECT_EQ(AccountTable::domainOf(L"C:\\inetpub\\vhosts\\a\\b", kVhosts), L"a");
    EXPECT_EQ(AccountTable::domainOf(L"\\\\?\\c:\\INETPUB\\vhosts\\", kVhosts), L"");
    EXPECT_EQ(AccountTable::domainOf(L"C:\\inetpub\\vhostsX\\a", kVhosts), L"");
    EXPECT_EQ(AccountTable::domainOf(L"C:\\private\\a", kVhosts), L"");

    // Classified by login, a quote and a backslash find their own row and not the decoy's.
    AccountTable fresh(connection);
    auto freshRecord = [&](const std::wstring& name) { return *fresh.find(local + L"\\" + name); };
    fresh.classify(sidOf(L"o'quote\\back"));
    EXPECT_EQ(freshRecord(L"o'quote\\back").descType, L"domusr");
    EXPECT_EQ(freshRecord(L"o'quote\\back").descInfo, L"o'quote.example");
    fresh.classify(sidOf(L"o\\'quote\\back"));
    EXPECT_EQ(freshRecord(L"o\\'quote\\back").descInfo, L"o\\'quote.example");
    fresh.classify(sidOf(L"IUSR_o'quote\\back"));
    EXPECT_EQ(freshRecord(L"IUSR_o'quote\\back").descType, L"andomusr");
}

TEST_F(AccountTableTest, PoolNamesOfDomainAndClient) {
    EXPECT_EQ(AccountTable::poolAccountName(L"IWPD_", L"1", L"exampleuser"), L"IWPD_1(exampleuser)");
    EXPECT_EQ(AccountTable::poolAccountName(L"IWPC_", L"12", L"averyverylonglogin"), L"IWPC_12(averyverylo)");
    EXPECT_EQ(cutTo(L"IUSR_averyverylonglogin", 20), L"IUSR_averyverylonglo");

    table.prepare(L"C:\\inetpub\\vhosts\\other.example\\httpdocs", kVhosts);
    EXPECT_EQ(record(L"IWPC_2(otherclient)").descType, L"poolusr");
    EXPECT_FALSE(table.defaultPool());
}

TEST_F(AccountTableTest, ClassificationOfOtherAccounts) {
    Sid foreign = add(L"exampleuser", 3000, L"OTHERDOM");
    Sid deleted = Sid::fromString(L"S-1-5-21-7-7-7-4000");
    substitute.addDeletedSid(deleted);
    table.classify(sidOf(L"webexample"));
    table.classify(sidOf(L"IUSR_blogexample"));
    table.classify(sidOf(L"averyverylonglogin"));
    table.classify(sidOf(L"aspnet"));
    table.classify(sidOf(L"stranger"));
    table.classify(foreign);
    table.classify(deleted);
    EXPECT_EQ(record(L"webexample").descType, L"webusr");
    EXPECT_EQ(record(L"webexample").descInfo, L"example.com");
    EXPECT_EQ(record(L"IUSR_blogexample").descType, L"ansubdomusr");
    EXPECT_EQ(record(L"IUSR_blogexample").descInfo, L"blog.example.com");
    EXPECT_EQ(record(L"averyverylonglogin").descInfo, L"long.o'quote.example");
    EXPECT_EQ(record(L"aspnet").descType, L"aspnet");
    EXPECT_EQ(record(L"stranger").descType, L"sysaccount");
    // A domain account is a system account even when its name is a hosting login.
    const AccountRecord* other = table.find(L"OTHERDOM\\exampleuser");
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->descType, L"sysaccount");
    const AccountRecord* gone = table.find(L"S-1-5-21-7-7-7-4000");
    ASSERT_NE(gone, nullptr);
    EXPECT_EQ(gone->name, L"S-1-5-21-7-7-7-4000");
    EXPECT_EQ(gone->descType, L"sysaccount");
    EXPECT_EQ(gone->use, SidTypeUnknown);
    for (const AccountRecord& a : table.accounts())
        EXPECT_FALSE(a.permanent);
}

TEST_F(AccountTableTest, TheFirstDescriptionWinsAndAPathOutsideListsTheBuiltinsOnly) {
    table.prepare(L"C:\\private\\notes.txt", kVhosts);
    ASSERT_EQ(table.accounts().size(), 2u);
    EXPECT_EQ(table.accounts()[0].descType, L"admins");
    EXPECT_EQ(table.accounts()[1].descType, L"system");
    table.classify(security::administratorsGroup());
    EXPECT_EQ(table.accounts()[0].descType, L"admins");
    EXPECT_TRUE(table.accounts()[0].permanent);
    table.prepare(L"C:\\inetpub\\vhosts\\example.com", kVhosts);
    table.classify(sidOf(L"exampleuser"));
    EXPECT_EQ(record(L"exampleuser").descType, L"domusr");
    EXPECT_EQ(record(L"exampleuser").descInfo, L""); // the preparation's, not the classification's
}

TEST_F(AccountTableTest, AKindUnknownBySidIsAskedOfTheNameAsItStands) {
    const Sid group = Sid::fromString(L"S-1-5-21-7-7-7-5000");
    substitute.addAccount({local, L"webgroup", group, SidTypeAlias, SidTypeUnknown});
    table.classify(group);
    EXPECT_EQ(record(L"webgroup").use, SidTypeAlias);
    EXPECT_EQ(record(L"webgroup").descType, L"sysaccount");
    EXPECT_GE(substitute.calls(testsupport::Call::lookupAccountName, local + L"\\webgroup"), 1);
}

// A failing query ends the classification (and the listing that asked for it); an account that
// needs no query is still described.
TEST_F(AccountTableTest, DatabaseFailuresAreNotWarnings) {
    testsupport::TableSettingsSource down = source;
    down.environmentValues[L"TARNIS_DB_PORT"] = L"1";
    db::DatabaseConnection unreachable(false, &down);
    AccountTable failing(unreachable);
    auto messageOfCall = [](const std::function<void()>& call) {
        try {
            call();
        } catch (...) {
            return messageOf(std::current_exception());
        }
        return std::wstring(L"(nothing raised)");
    };
    const std::wstring classified = messageOfCall([&] { failing.classify(sidOf(L"webexample")); });
    EXPECT_EQ(classified.rfind(L"Failed to connect to database: ", 0), 0u) << text::toUtf8(classified);
    const std::wstring prepared =
        messageOfCall([&] { failing.prepare(L"C:\\inetpub\\vhosts\\example.com\\httpdocs", kVhosts); });
    EXPECT_EQ(prepared.rfind(L"Failed to connect to database: ", 0), 0u) << text::toUtf8(prepared);
    Sid foreign = add(L"exampleuser", 3000, L"OTHERDOM");
    failing.classify(foreign);
    const AccountRecord* other = failing.find(L"OTHERDOM\\exampleuser");
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->descType, L"sysaccount");
}

TEST_F(AccountTableTest, FullNameFailuresAreWarnings) {
    substitute.failNext(testsupport::Call::userFullName, L"stranger", ERROR_ACCESS_DENIED);
    table.classify(sidOf(L"stranger"));
    EXPECT_EQ(record(L"stranger").fullName, L"");
    substitute.failNext(testsupport::Call::userFullName, L"webexample", 2221); // NERR_UserNotFound
    table.classify(sidOf(L"webexample"));
    EXPECT_EQ(record(L"webexample").fullName, L"");
}

} // namespace
