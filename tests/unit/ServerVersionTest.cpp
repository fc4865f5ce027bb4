#include "db/ServerVersion.h"

#include "db/MySQLDatabaseProvider.h"

#include <gtest/gtest.h>

namespace {

using db::MySQLDatabaseProvider;
using db::versionAtLeast;

TEST(ServerVersion, ServersBelow41GetNoSetNames) {
    EXPECT_FALSE(MySQLDatabaseProvider::supportsSetNames(L"4.0.27-log"));
    EXPECT_FALSE(MySQLDatabaseProvider::supportsSetNames(L"4.0"));
    EXPECT_FALSE(MySQLDatabaseProvider::supportsSetNames(L"3.23.58-nt"));
    EXPECT_FALSE(MySQLDatabaseProvider::supportsSetNames(L"4"));
    EXPECT_FALSE(MySQLDatabaseProvider::supportsSetNames(L""));
}

TEST(ServerVersion, ServersFrom41OnGetSetNames) {
    EXPECT_TRUE(MySQLDatabaseProvider::supportsSetNames(L"4.1"));
    EXPECT_TRUE(MySQLDatabaseProvider::supportsSetNames(L"4.1.0-alpha"));
    EXPECT_TRUE(MySQLDatabaseProvider::supportsSetNames(L"4.10.1"));
    EXPECT_TRUE(MySQLDatabaseProvider::supportsSetNames(L"5.0.96-community-nt"));
    EXPECT_TRUE(MySQLDatabaseProvider::supportsSetNames(L"10.11.19-MariaDB-0+deb12u1"));
}

TEST(ServerVersion, ComparesComponentsAsNumbersNotText) {
    EXPECT_TRUE(versionAtLeast(L"10.0", L"9.9"));
    EXPECT_FALSE(versionAtLeast(L"4.9", L"4.10"));
    EXPECT_TRUE(versionAtLeast(L"4.1.0", L"4.1"));
    EXPECT_TRUE(versionAtLeast(L"4.1", L"4.1.0"));
    EXPECT_FALSE(versionAtLeast(L"4.1", L"4.1.1"));
    EXPECT_TRUE(versionAtLeast(L"99999999999999999999.1", L"4.1"));
}

} // namespace
