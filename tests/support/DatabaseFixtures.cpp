#include "support/DatabaseFixtures.h"

#include "app/Text.h"
#include "db/DatabaseConnection.h"

#include <cstdlib>
#include <mutex>

namespace testsupport {
namespace {

class MessageTally : public LogListener {
public:
    void message(int, const std::wstring& text) override {
        std::lock_guard<std::mutex> hold(lock_);
        ++counts_[text];
    }
    int count(const std::wstring& text) {
        std::lock_guard<std::mutex> hold(lock_);
        return counts_[text];
    }

private:
    std::mutex lock_;
    std::map<std::wstring, int> counts_;
};

MessageTally& tally() {
    static MessageTally* instance = [] {
        auto* created = new MessageTally;
        LogManager::instance().addListener(created);
        return created;
    }();
    return *instance;
}

} // namespace

unsigned testDatabasePort() {
    // The same override as scripts/mariadb's, for a server started on another port.
    const char* port = std::getenv("QUARN_MARIADB_PORT");
    return port && *port ? static_cast<unsigned>(std::strtoul(port, nullptr, 10)) : kTestDatabasePort;
}

std::string testDatabaseStrings() {
    return "TARNIS_DATABASE_PROVIDER_NAME=MySQL\nMySQL_DB_HOST=127.0.0.1\nMySQL_DB_PORT=" +
           std::to_string(testDatabasePort()) + "\nTARNIS_DATABASE_LOGIN=admin\nmySQLDBName=tna\n";
}

std::string testDatabasePasswords() {
    return "[passwords]\npwd=" + text::toUtf8(kTestDatabasePassword) + "\n";
}

TableSettingsSource TableSettingsSource::testServer() {
    TableSettingsSource source;
    source.configurationValues = {{L"MySQL_DB_HOST", L"127.0.0.1"},
                                  {L"MySQL_DB_PORT", std::to_wstring(testDatabasePort())},
                                  {L"TARNIS_DATABASE_LOGIN", L"admin"},
                                  {L"mySQLDBName", L"tna"}};
    source.passwords = {{L"pwd", kTestDatabasePassword}};
    return source;
}

std::optional<std::wstring> TableSettingsSource::find(const std::map<std::wstring, std::wstring>& table,
                                                      const std::wstring& name) {
    auto it = table.find(name);
    if (it == table.end()) return std::nullopt;
    return it->second;
}

LogCounter::LogCounter(std::wstring text) : text_(std::move(text)), start_(tally().count(text_)) {}

int LogCounter::count() const {
    return tally().count(text_) - start_;
}

ScopedAccountRow::ScopedAccountRow(const std::wstring& login, const std::wstring& home)
    : source_(TableSettingsSource::testServer()),
      connection_(std::make_unique<db::DatabaseConnection>(true, &source_)),
      login_(connection_->escape(login)) {
    remove();
    // Ids above the sample rows' and out of their way.
    connection_->execute(L"INSERT INTO sys_users (id, login, account_id, home, shell) SELECT "
                         L"GREATEST(1000, COALESCE(MAX(id), 0) + 1), '" +
                         login_ + L"', NULL, '" + connection_->escape(home) +
                         L"', '" + connection_->escape(L"C:\\Windows\\System32\\cmd.exe") + L"' FROM sys_users");
}

ScopedAccountRow::~ScopedAccountRow() {
    try {
        remove();
    } catch (...) {
        // A server gone at the end of a test leaves nothing to clean.
    }
}

void ScopedAccountRow::remove() { connection_->execute(L"DELETE FROM sys_users WHERE login = '" + login_ + L"'"); }

} // namespace testsupport
