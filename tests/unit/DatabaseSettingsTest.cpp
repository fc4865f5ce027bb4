#include "db/DatabaseSettings.h"

#include "support/DatabaseFixtures.h"
#include "support/FailureOf.h"
#include "support/PolicyFixtures.h"

#include <gtest/gtest.h>

namespace {

using db::DatabaseSettings;
using testsupport::failureOf;
using testsupport::ScopedEnvironment;
using testsupport::TableSettingsSource;

TEST(DatabaseSettings, DefaultsWhenNothingAnswers) {
    TableSettingsSource nothing;
    DatabaseSettings s = DatabaseSettings::read(nothing);
    EXPECT_EQ(s.provider, L"MySQL");
    EXPECT_EQ(s.host, L"localhost");
    EXPECT_EQ(s.login, L"admin");
    EXPECT_EQ(s.database, L"tna");
    EXPECT_EQ(s.password, L"");
    EXPECT_EQ(s.port, 8306u);
    EXPECT_EQ(s.socket, L"");
}

TEST(DatabaseSettings, ConfigurationValuesAndStoredPassword) {
    TableSettingsSource source;
    source.configurationValues = {{L"TARNIS_DATABASE_PROVIDER_NAME", L"MSSQL"},
                                  {L"MySQL_DB_HOST", L"db.local"},
                                  {L"TARNIS_DATABASE_LOGIN", L"panel"},
                                  {L"mySQLDBName", L"panel_db"},
                                  {L"MySQL_DB_PORT", L"3307"}};
    source.passwords = {{L"pwd", L"s3cret"}};
    DatabaseSettings s = DatabaseSettings::read(source);
    EXPECT_EQ(s.provider, L"MSSQL");
    EXPECT_EQ(s.host, L"db.local");
    EXPECT_EQ(s.login, L"panel");
    EXPECT_EQ(s.database, L"panel_db");
    EXPECT_EQ(s.password, L"s3cret");
    EXPECT_EQ(s.port, 3307u);
}

TEST(DatabaseSettings, EnvironmentWinsOverConfigurationUnlessEmpty) {
    TableSettingsSource source = TableSettingsSource::testServer();
    source.environmentValues = {{L"TARNIS_DB_PORT", L"3306"},    {L"TARNIS_DB_HOST", L"envhost"},
                                {L"TARNIS_DB_LOGIN", L""},       {L"TARNIS_DB_NAME", L"envdb"},
                                {L"TARNIS_DB_PASSWD", L"envpw"}, {L"TARNIS_DB_SOCK", L"/tmp/sock"}};
    DatabaseSettings s = DatabaseSettings::read(source);
    EXPECT_EQ(s.port, 3306u);
    EXPECT_EQ(s.host, L"envhost");
    EXPECT_EQ(s.login, L"admin"); // empty counts as unset
    EXPECT_EQ(s.database, L"envdb");
    EXPECT_EQ(s.password, L"envpw");
    EXPECT_EQ(s.socket, L"/tmp/sock");
}

TEST(DatabaseSettings, CallerHostWinsOverEnvironmentAndConfiguration) {
    TableSettingsSource source = TableSettingsSource::testServer();
    source.environmentValues = {{L"TARNIS_DB_HOST", L"envhost"}};
    EXPECT_EQ(DatabaseSettings::read(source, L"given").host, L"given");
}

TEST(DatabaseSettings, PortThatIsNoPortIsRefused) {
    for (const wchar_t* bad : {L"abc", L"80a", L"0", L"65536", L"-1", L" 8306", L"123456"}) {
        TableSettingsSource source;
        source.environmentValues = {{L"TARNIS_DB_PORT", bad}};
        auto e = failureOf([&] { DatabaseSettings::read(source); });
        EXPECT_EQ(e.message(), std::wstring(L"Invalid database port ") + bad);
    }
    TableSettingsSource configured;
    configured.configurationValues = {{L"MySQL_DB_PORT", L"x"}};
    EXPECT_EQ(failureOf([&] { DatabaseSettings::read(configured); }).message(), L"Invalid database port x");
}

TEST(DatabaseSettings, PanelSourceReadsTheProcessEnvironment) {
    db::PanelSettingsSource panel;
    {
        ScopedEnvironment set(L"QUARN_TEST_DB_VALUE", std::wstring(300, L'x'));
        EXPECT_EQ(panel.environment(L"QUARN_TEST_DB_VALUE"), std::wstring(300, L'x'));
    }
    ScopedEnvironment unset(L"QUARN_TEST_DB_VALUE", std::nullopt);
    EXPECT_EQ(panel.environment(L"QUARN_TEST_DB_VALUE"), std::nullopt);
}

TEST(DatabaseSettings, UnreachableServiceGivesDefaults) {
    // No stand-in serves the management pipe here: every configured value falls back.
    db::PanelSettingsSource panel;
    ScopedEnvironment port(L"TARNIS_DB_PORT", std::nullopt);
    EXPECT_EQ(panel.configuration(L"MySQL_DB_PORT"), std::nullopt);
    EXPECT_EQ(panel.storedPassword(L"pwd"), std::nullopt);
    EXPECT_EQ(DatabaseSettings::read(panel).port, 8306u);
}

} // namespace
