// Against the private MariaDB server that the test run starts (scripts/mariadb, port 8306).
#include "db/MySQLDatabaseProvider.h"

#include "app/Text.h"
#include "db/DatabaseConnection.h"
#include "support/DatabaseFixtures.h"
#include "support/FailureOf.h"
#include "support/PolicyFixtures.h"
#include "support/Standin.h"

#include <gtest/gtest.h>

namespace {

using namespace db;
using testsupport::failureOf;
using testsupport::LogCounter;
using testsupport::ScopedEnvironment;
using testsupport::TableSettingsSource;

const wchar_t* const kReconnectMessage = L"MySQLDatabaseProvider::query reconnect";

std::wstring single(DatabaseConnection& db, const std::wstring& query, const std::wstring& column) {
    VRecordSet rows = db.query(query);
    EXPECT_TRUE(rows.hasRow()) << "no row for " << text::toUtf8(query);
    return rows.hasRow() ? rows.get(column, L"(null)") : L"";
}

// Kills a connection of the server from another one.
void killConnection(const std::wstring& id) {
    TableSettingsSource source = TableSettingsSource::testServer();
    DatabaseConnection killer(true, &source);
    killer.execute(L"KILL " + id);
}

TEST(MySQLDatabase, DefaultsReachTheServerOnLocalhost8306) {
    // No management service: host localhost, port 8306, database tna, login admin.
    if (testsupport::testDatabasePort() != testsupport::kTestDatabasePort)
        GTEST_SKIP() << "the test server listens on another port (QUARN_MARIADB_PORT)";
    ScopedEnvironment password(L"TARNIS_DB_PASSWD", std::wstring(testsupport::kTestDatabasePassword));
    ScopedEnvironment port(L"TARNIS_DB_PORT", std::nullopt);
    DatabaseConnection db;
    EXPECT_EQ(db.settings().host, L"localhost");
    EXPECT_EQ(db.settings().port, 8306u);
    EXPECT_EQ(single(db, L"SELECT DATABASE() AS db, CURRENT_USER() AS user", L"db"), L"tna");
    EXPECT_EQ(single(db, L"SELECT SUBSTRING_INDEX(CURRENT_USER(), '@', 1) AS user", L"user"), L"admin");
}

TEST(MySQLDatabase, SettingsFromTheManagementServiceAndThePortOverride) {
    // The stand-in names a port nothing listens on; TARNIS_DB_PORT wins over it.
    testsupport::PanelStandin standin(
        "[strings]\nMySQL_DB_HOST=127.0.0.1\nMySQL_DB_PORT=9\n"
        "TARNIS_DATABASE_LOGIN=admin\nmySQLDBName=tna\n[passwords]\npwd=setup\n");
    ScopedEnvironment noPassword(L"TARNIS_DB_PASSWD", std::nullopt);
    {
        ScopedEnvironment port(L"TARNIS_DB_PORT", std::nullopt);
        auto e = failureOf<VDatabase::ConnectException>([] { DatabaseConnection db; });
        EXPECT_EQ(e.message().rfind(L"Failed to connect to database: ", 0), 0u) << text::toUtf8(e.message());
        EXPECT_EQ(e.contexts().at(0).origin, "MySQLDatabaseProvider::connect");
        EXPECT_EQ(e.contexts().at(0).line, 216);
    }
    ScopedEnvironment port(L"TARNIS_DB_PORT", std::to_wstring(testsupport::testDatabasePort()));
    DatabaseConnection db;
    EXPECT_EQ(db.settings().host, L"127.0.0.1");
    EXPECT_EQ(db.settings().port, testsupport::testDatabasePort());
    EXPECT_EQ(single(db, L"SELECT COUNT(*) AS n FROM domains", L"n"), L"4");
}

TEST(MySQLDatabase, SessionIsPreparedForUtf8AndDirtyReads) {
    TableSettingsSource source = TableSettingsSource::testServer();
    DatabaseConnection db(true, &source);
    EXPECT_EQ(single(db, L"SELECT @@session.tx_isolation AS i", L"i"), L"READ-UNCOMMITTED");
    EXPECT_EQ(single(db, L"SELECT @@character_set_client AS c", L"c").substr(0, 4), L"utf8");
    EXPECT_TRUE(MySQLDatabaseProvider::supportsSetNames(db.provider().version()));
}

TEST(MySQLDatabase, WrongPasswordFailsToConnect) {
    TableSettingsSource source = TableSettingsSource::testServer();
    source.passwords[L"pwd"] = L"wrong";
    auto e = failureOf<VDatabase::ConnectException>([&] { DatabaseConnection db(true, &source); });
    EXPECT_EQ(e.message().rfind(L"Failed to connect to database: Access denied for user 'admin'", 0), 0u)
        << text::toUtf8(e.message());
}

TEST(MySQLDatabase, EscapedLoginFindsExactlyItsRow) {
    TableSettingsSource source = TableSettingsSource::testServer();
    DatabaseConnection db(true, &source);
    // The sample data holds o'quote\back and, as a decoy, o\'quote\back.
    for (auto [login, id] : {std::pair{L"o'quote\\back", L"5"}, std::pair{L"o\\'quote\\back", L"6"}}) {
        VRecordSet rows = db.query(L"SELECT id FROM sys_users WHERE login = '" + db.escape(login) + L"'");
        ASSERT_TRUE(rows.hasRow());
        EXPECT_EQ(rows.get(L"id"), id);
        rows.next();
        EXPECT_FALSE(rows.hasRow());
    }
    VRecordSet injected =
        db.query(L"SELECT id FROM sys_users WHERE login = '" + db.escape(L"x' OR '1'='1") + L"'");
    EXPECT_FALSE(injected.hasRow());
}

TEST(MySQLDatabase, NonAsciiTextTravelsAsUtf8) {
    TableSettingsSource source = TableSettingsSource::testServer();
    DatabaseConnection db(true, &source);
    VRecordSet rows =
        db.query(L"SELECT id, home FROM sys_users WHERE login = '" + db.escape(L"j\u00fcrgen") + L"'");
    ASSERT_TRUE(rows.hasRow());
    EXPECT_EQ(rows.get(L"id"), L"7");
    EXPECT_EQ(rows.get(L"home"), L"C:\\inetpub\\vhosts\\m\u00fcller.example");
}

TEST(MySQLDatabase, RowOfNullsReadsAsAbsentValues) {
    TableSettingsSource source = TableSettingsSource::testServer();
    DatabaseConnection db(true, &source);
    VRecordSet rows =
        db.query(L"SELECT u.id, u.home, a.password, u.shell FROM sys_users u LEFT OUTER JOIN accounts a "
                 L"ON a.id = u.account_id WHERE u.login = 'nullrow'");
    ASSERT_TRUE(rows.hasRow());
    std::wstring home = L"kept", password = L"kept", shell = L"kept";
    EXPECT_FALSE(rows.lookup(L"home", home));
    EXPECT_FALSE(rows.lookup(L"password", password));
    EXPECT_FALSE(rows.lookup(L"shell", shell));
    EXPECT_EQ(home + password + shell, L"keptkeptkept");
    EXPECT_EQ(rows.get(L"id"), L"4");
    EXPECT_EQ(rows.get(L"shell", L"none"), L"none");
    EXPECT_EQ(failureOf([&] { rows.get(L"u.home"); }).message(), L"Unexpected query for column u.home");
}

TEST(MySQLDatabase, KilledConnectionIsReconnectedExactlyOnce) {
    TableSettingsSource source = TableSettingsSource::testServer();
    DatabaseConnection db(true, &source);
    std::wstring before = single(db, L"SELECT CONNECTION_ID() AS id", L"id");
    killConnection(before);
    LogCounter reconnects(kReconnectMessage);
    std::wstring after = single(db, L"SELECT CONNECTION_ID() AS id", L"id");
    EXPECT_EQ(reconnects.count(), 1);
    EXPECT_NE(after, before);
    EXPECT_EQ(single(db, L"SELECT 1 AS one", L"one"), L"1");
    EXPECT_EQ(reconnects.count(), 1);
}

TEST(MySQLDatabase, SecondLossRaisesCantQueryAfterOneReconnect) {
    TableSettingsSource source = TableSettingsSource::testServer();
    DatabaseSettings settings = DatabaseSettings::read(source);
    MySQLDatabaseProvider provider;
    provider.connect(settings);
    int reconnects = 0;
    // Every reconnect is followed by another loss before the query is sent again.
    provider.setReconnect([&] {
        ++reconnects;
        provider.connect(settings);
        VRecordSet id(provider.query(L"SELECT CONNECTION_ID() AS id"));
        killConnection(id.get(L"id"));
    });
    VRecordSet id(provider.query(L"SELECT CONNECTION_ID() AS id"));
    killConnection(id.get(L"id"));
    auto e = failureOf([&] { provider.query(L"SELECT 1"); });
    EXPECT_EQ(reconnects, 1);
    EXPECT_EQ(e.message().rfind(L"Can't query SELECT 1: MySQLDatabaseProvider error 20", 0), 0u)
        << text::toUtf8(e.message());
    EXPECT_EQ(e.contexts().at(0).origin, "MySQLDatabaseProvider::query");
    EXPECT_EQ(e.contexts().at(0).line, 286);
}

TEST(MySQLDatabase, FailingStatementsAreNotRetried) {
    TableSettingsSource source = TableSettingsSource::testServer();
    DatabaseConnection db(true, &source);
    LogCounter reconnects(kReconnectMessage);
    auto bad = failureOf([&] { db.query(L"SELEC 1"); });
    EXPECT_EQ(bad.message().rfind(L"Can't query SELEC 1: MySQLDatabaseProvider error 1064:", 0), 0u)
        << text::toUtf8(bad.message());
    auto noResult = failureOf([&] { db.query(L"SET @quarn_test = 1"); });
    EXPECT_EQ(noResult.message(), L"Can't get result for query");
    EXPECT_EQ(noResult.contexts().at(0).line, 290);
    auto badExecute = failureOf([&] { db.execute(L"UPDATE nosuchtable SET a = 1"); });
    EXPECT_EQ(badExecute.message().rfind(
                  L"Can't execute UPDATE nosuchtable SET a = 1: MySQLDatabaseProvider error 1146:", 0),
              0u)
        << text::toUtf8(badExecute.message());
    EXPECT_EQ(reconnects.count(), 0);
    // Only one statement per call: a second one is a syntax error, not run.
    EXPECT_THROW(db.execute(L"DO 1; DROP TABLE clients"), vexception);
    EXPECT_EQ(single(db, L"SELECT COUNT(*) AS n FROM clients", L"n"), L"2");
}

TEST(MySQLDatabase, ExecuteChangesAndQueryReadsBack) {
    TableSettingsSource source = TableSettingsSource::testServer();
    DatabaseConnection db(true, &source);
    db.execute(L"CREATE TEMPORARY TABLE quarn_scratch (name VARCHAR(20) NULL)");
    db.execute(L"INSERT INTO quarn_scratch VALUES ('" + db.escape(L"it's") + L"'), (NULL)");
    VRecordSet rows = db.query(L"SELECT name FROM quarn_scratch ORDER BY name IS NULL");
    EXPECT_EQ(rows.get(L"name"), L"it's");
    rows.next();
    EXPECT_EQ(rows.get(L"name", L"null"), L"null");
}

TEST(MySQLDatabase, ConnectionIsMadeOnDemand) {
    TableSettingsSource source = TableSettingsSource::testServer();
    DatabaseConnection db(false, &source);
    EXPECT_FALSE(db.connected());
    EXPECT_EQ(db.escape(L"a'b"), L"a\\'b");
    EXPECT_TRUE(db.connected());
    EXPECT_TRUE(db.provider().isConnected());
}

} // namespace

namespace {

TEST(MySQLDatabase, ReconnectReadsTheSettingsAgain) {
    TableSettingsSource source = TableSettingsSource::testServer();
    DatabaseConnection db(true, &source);
    killConnection(single(db, L"SELECT CONNECTION_ID() AS id", L"id"));
    source.configurationValues[L"mySQLDBName"] = L"information_schema";
    EXPECT_EQ(single(db, L"SELECT DATABASE() AS db", L"db"), L"information_schema");
}

TEST(MySQLDatabase, FailedConnectKeepsTheWorkingConnection) {
    TableSettingsSource source = TableSettingsSource::testServer();
    DatabaseSettings settings = DatabaseSettings::read(source);
    MySQLDatabaseProvider provider;
    provider.connect(settings);
    VRecordSet before(provider.query(L"SELECT CONNECTION_ID() AS id"));
    settings.password = L"wrong";
    EXPECT_THROW(provider.connect(settings), VDatabase::ConnectException);
    EXPECT_TRUE(provider.isConnected());
    VRecordSet after(provider.query(L"SELECT CONNECTION_ID() AS id"));
    EXPECT_EQ(after.get(L"id"), before.get(L"id"));
}

} // namespace
