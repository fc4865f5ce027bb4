// The account record read through the real panel database (the private MariaDB server).
#include "identity/DatabaseAccountRecords.h"

#include "support/DatabaseFixtures.h"
#include "support/FailureOf.h"
#include "support/ScopedInstall.h"

#include <gtest/gtest.h>

namespace {

using namespace RunTime::User;
using ScopedRecords = testsupport::ScopedInstall<AccountRecords, installAccountRecords>;

class DatabaseAccountRecordsTest : public ::testing::Test {
protected:
    DatabaseAccountRecordsTest() : connection(true, &source), records(connection), scoped(records) {}
    testsupport::TableSettingsSource source = testsupport::TableSettingsSource::testServer();
    db::DatabaseConnection connection;
    DatabaseAccountRecords records;
    ScopedRecords scoped;
    long id = -1;
    std::wstring home = L"unchanged", password = L"unchanged";
    bool disabled = false;
};

TEST_F(DatabaseAccountRecordsTest, QuoteAndBackslashFindExactlyTheirRow) {
    // o'quote\back is row 5; o\'quote\back (row 6) is the decoy a naive escape would hit.
    userInfoFromDB(L"o'quote\\back", &id, &home, &password, &disabled);
    EXPECT_EQ(id, 5);
    EXPECT_EQ(home, L"C:\\inetpub\\vhosts\\quote.example");
    EXPECT_EQ(password, L"quote-secret");
    EXPECT_FALSE(disabled);
    userInfoFromDB(L"o\\'quote\\back", &id, &home, &password, &disabled);
    EXPECT_EQ(id, 6);
    EXPECT_EQ(password, L"decoy-secret");
}

TEST_F(DatabaseAccountRecordsTest, NoRowIsNullAndLeavesTheOutputs) {
    EXPECT_EQ(records.firstRow(L"SELECT id FROM sys_users WHERE login = 'x'' OR ''1''=''1'"), nullptr);
    userInfoFromDB(L"x' OR '1'='1", &id, &home, &password, &disabled);
    EXPECT_EQ(id, -1);
    EXPECT_EQ(home, L"unchanged");
}

TEST_F(DatabaseAccountRecordsTest, RowOfNulls) {
    std::unique_ptr<AccountRow> row = records.firstRow(accountQuery(records.escape(L"nullrow")));
    ASSERT_NE(row, nullptr);
    std::wstring value = L"kept";
    EXPECT_FALSE(row->lookup(L"home", &value));
    EXPECT_FALSE(row->lookup(L"password", &value));
    EXPECT_EQ(value, L"kept");
    EXPECT_TRUE(row->lookup(L"id", &value));
    EXPECT_EQ(value, L"4");
    // A row without home fails as a whole; a missing shell disables the login.
    auto e =
        testsupport::failureOf<vexception>([&] { userInfoFromDB(L"nullrow", &id, &home, nullptr, nullptr); });
    EXPECT_EQ(e.message(), L"Unable to get user (nullrow) home");
    EXPECT_EQ(id, -1);
    userInfoFromDB(L"nullrow", &id, nullptr, &password, &disabled);
    EXPECT_EQ(id, 4);
    EXPECT_EQ(password, L"");
    EXPECT_TRUE(disabled);
}

TEST_F(DatabaseAccountRecordsTest, TheDefaultRecordsAreThePanelDatabase) {
    // Without a substitute the records are the panel database's (settings from the panel; here
    // they are only created, not connected).
    installAccountRecords(nullptr);
    EXPECT_NE(dynamic_cast<DatabaseAccountRecords*>(&accountRecords()), nullptr);
}

} // namespace
