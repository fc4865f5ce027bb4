#include "db/IDatabaseProvider.h"

#include "db/JetDatabaseProvider.h"
#include "db/MSSQLDatabaseProvider.h"
#include "db/MySQLDatabaseProvider.h"
#include "support/FailureOf.h"

#include <gtest/gtest.h>

namespace {

using namespace db;
using testsupport::failureOf;

TEST(IDatabaseProvider, ChosenByName) {
    EXPECT_NE(dynamic_cast<MySQLDatabaseProvider*>(IDatabaseProvider::create(L"MySQL").get()), nullptr);
    EXPECT_NE(dynamic_cast<MySQLDatabaseProvider*>(IDatabaseProvider::create(L"").get()), nullptr);
    EXPECT_NE(dynamic_cast<MSSQLDatabaseProvider*>(IDatabaseProvider::create(L"MSSQL").get()), nullptr);
    EXPECT_NE(dynamic_cast<JetDatabaseProvider*>(IDatabaseProvider::create(L"Jet").get()), nullptr);
}

TEST(IDatabaseProvider, UnknownNameIsRefused) {
    for (const wchar_t* name : {L"mysql", L"Oracle", L"MySQL "}) {
        auto e = failureOf([&] { IDatabaseProvider::create(name); });
        EXPECT_EQ(e.message(), std::wstring(L"Unable to build database provider ") + name);
        ASSERT_EQ(e.contexts().size(), 1u);
        EXPECT_EQ(e.contexts()[0].origin, "IDatabaseProvider::Create");
        EXPECT_EQ(e.contexts()[0].line, 109);
    }
}

TEST(IDatabaseProvider, MySQLStatementsNeedAConnection) {
    MySQLDatabaseProvider provider;
    EXPECT_FALSE(provider.isConnected());
    EXPECT_EQ(failureOf([&] { provider.query(L"SELECT 1"); }).message(), L"Not connected to the database");
    EXPECT_EQ(failureOf([&] { provider.escape(L"x"); }).message(), L"Not connected to the database");
}

TEST(VADODatabaseProvider, ConnectionStringValuesCannotAddAttributes) {
    DatabaseSettings settings;
    settings.host = L"sql;Provider=Evil";
    settings.database = L"tna";
    settings.login = L"ad\"min";
    settings.password = L"p;w\"d";
    EXPECT_EQ(
        MSSQLDatabaseProvider().connectionString(settings),
        L"Provider=SQLOLEDB;Data Source=\"sql;Provider=Evil\";Initial Catalog=\"tna\";User ID=\"ad\"\"min\";"
        L"Password=\"p;w\"\"d\";");
    settings.database = L"C:\\data\\tna.mdb";
    EXPECT_EQ(JetDatabaseProvider().connectionString(settings),
              L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"C:\\data\\tna.mdb\";User ID=\"ad\"\"min\";"
              L"Password=\"p;w\"\"d\";");
}

TEST(VADODatabaseProvider, PasswordsAreMaskedInMessages) {
    EXPECT_EQ(VADODatabaseProvider::maskPassword(L"Provider=X;Password=\"p;w\"\"d\";User ID=\"a\";"),
              L"Provider=X;Password=*****;User ID=\"a\";");
    EXPECT_EQ(VADODatabaseProvider::maskPassword(L"password=plain;pwd=x"), L"password=*****;pwd=x");
    EXPECT_EQ(VADODatabaseProvider::maskPassword(L"Data Source=\"a\";PASSWORD='it''s'"),
              L"Data Source=\"a\";PASSWORD=*****");
}

TEST(VADODatabaseProvider, EscapeDoublesSingleQuotesOnly) {
    EXPECT_EQ(MSSQLDatabaseProvider().escape(L"o'quote\\back"), L"o''quote\\back");
}

TEST(JetDatabaseProvider, OnlyLocalDatabases) {
    DatabaseSettings settings;
    settings.host = L"dbserver.example";
    settings.database = L"C:\\data\\tna.mdb";
    auto e = failureOf([&] { JetDatabaseProvider().connect(settings); });
    EXPECT_EQ(e.message(), L"Jet support only local databases");
}

// Wine has no OLE DB provider for SQL Server or Jet: opening fails under Wine, which shows the
// failure message with the password masked (on Windows without a server it fails the same way).
TEST(VADODatabaseProvider, FailedOpenNamesTheConnectionStringWithoutThePassword) {
    CoInitialize(nullptr);
    DatabaseSettings settings;
    settings.host = L"127.0.0.1,1";
    settings.database = L"tna";
    settings.login = L"admin";
    settings.password = L"topsecret";
    MSSQLDatabaseProvider provider;
    auto e = failureOf([&] { provider.connect(settings); });
    EXPECT_EQ(e.message(),
              L"Unable to ADO conect with connection string: Provider=SQLOLEDB;Data Source=\"127.0.0.1,1\";"
              L"Initial Catalog=\"tna\";User ID=\"admin\";Password=*****;");
    EXPECT_EQ(e.message().find(L"topsecret"), std::wstring::npos);
    EXPECT_FALSE(provider.isConnected());
    EXPECT_FALSE(provider.lastError().empty());
    CoUninitialize();
}

} // namespace
