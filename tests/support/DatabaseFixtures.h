// Helpers of the database tests: settings from a table, counting of log messages, and the private
// MariaDB server's login.
#pragma once
#include "app/Log.h"
#include "db/DatabaseSettings.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace db {
class DatabaseConnection;
}

namespace testsupport {

// The private test server (scripts/mariadb): 127.0.0.1:8306, database tna, admin / setup.
inline constexpr unsigned kTestDatabasePort = 8306;
inline constexpr const wchar_t* kTestDatabasePassword = L"setup";
// kTestDatabasePort, or QUARN_MARIADB_PORT when it is set.
unsigned testDatabasePort();

// For a stand-in's settings file: the lines of its [strings] section that name the private test
// server as the panel database, and the [passwords] section with its password.
std::string testDatabaseStrings();
std::string testDatabasePasswords();

// Settings answered from tables; a name not in a table is "not there".
class TableSettingsSource : public db::SettingsSource {
public:
    std::map<std::wstring, std::wstring> configurationValues, passwords, environmentValues;

    std::optional<std::wstring> configuration(const std::wstring& name) override {
        return find(configurationValues, name);
    }
    std::optional<std::wstring> storedPassword(const std::wstring& name) override {
        return find(passwords, name);
    }
    std::optional<std::wstring> environment(const std::wstring& name) override {
        return find(environmentValues, name);
    }

    // The private test server's settings, as the panel would give them.
    static TableSettingsSource testServer();

private:
    static std::optional<std::wstring> find(const std::map<std::wstring, std::wstring>& table,
                                            const std::wstring& name);
};

// Counts the log messages equal to a text, from construction on (one listener per process,
// installed on first use, since the log keeps its listeners).
class LogCounter {
public:
    explicit LogCounter(std::wstring text);
    int count() const;

private:
    std::wstring text_;
    int start_;
};

// A sys_users row of the private test server for one login, with the given home, for the
// object's lifetime: a row the login had before (from a run that did not end cleanly) is replaced,
// and the row is deleted at the end. remove() takes it away early.
class ScopedAccountRow {
public:
    ScopedAccountRow(const std::wstring& login, const std::wstring& home);
    ~ScopedAccountRow();
    ScopedAccountRow(const ScopedAccountRow&) = delete;
    ScopedAccountRow& operator=(const ScopedAccountRow&) = delete;
    void remove();

private:
    TableSettingsSource source_;
    std::unique_ptr<db::DatabaseConnection> connection_;
    std::wstring login_;
};

} // namespace testsupport
