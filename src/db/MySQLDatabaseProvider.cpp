#include "db/MySQLDatabaseProvider.h"

#include "app/Log.h"
#include "app/Text.h"
#include "db/DatabaseText.h"
#include "db/ServerVersion.h"
#include "db/VMySQLRecordSet.h"

#include <errmsg.h>

#include <vector>

namespace db {
namespace {

constexpr const char* kConnectOrigin = "MySQLDatabaseProvider::connect";
constexpr int kInitLine = 202;
constexpr int kConnectLine = 216;
constexpr const char* kQueryOrigin = "MySQLDatabaseProvider::query";
constexpr int kQueryLine = 286;
constexpr int kResultLine = 290;
constexpr const char* kExecuteOrigin = "MySQLDatabaseProvider::execute";
constexpr const char* kVersionOrigin = "MySQLDatabaseProvider::version";

bool connectionLost(unsigned error) {
    return error == CR_SERVER_GONE_ERROR || error == CR_SERVER_LOST;
}

// Runs a statement of the session set-up on a connection that is not in use yet.
bool runSetup(MYSQL* handle, const char* statement) {
    if (mysql_query(handle, statement) != 0) return false;
    MySqlResult ignored(mysql_store_result(handle));
    return mysql_errno(handle) == 0;
}

} // namespace

MYSQL* MySQLDatabaseProvider::handle(ErrorContext where) const {
    if (!connection_) raisePlainError(L"Not connected to the database", std::move(where));
    return connection_.get();
}

void MySQLDatabaseProvider::connect(const DatabaseSettings& settings) {
    MySqlConnection fresh(mysql_init(nullptr));
    if (!fresh)
        raisePlainError(L"Insufficient memory to allocate new object", {L"", kConnectOrigin, kInitLine});
    std::string host = text::toAnsi(settings.host), login = text::toAnsi(settings.login),
                password = text::toAnsi(settings.password), database = text::toAnsi(settings.database),
                socket = text::toAnsi(settings.socket);
    if (!mysql_real_connect(fresh.get(), host.c_str(), login.c_str(), password.c_str(),
                            database.empty() ? nullptr : database.c_str(), settings.port,
                            socket.empty() ? nullptr : socket.c_str(), 0)) {
        connectError_ = text::fromAnsi(mysql_error(fresh.get()));
        fresh.reset();
        throw VDatabase::ConnectException(L"Failed to connect to database: " + connectError_,
                                          {L"", kConnectOrigin, kConnectLine});
    }
    auto failSetup = [&](const wchar_t* step) {
        connectError_ = text::fromAnsi(mysql_error(fresh.get()));
        throw VDatabase::ConnectException(
            format(L"Failed to connect to database: %s: %s", step, connectError_), kConnectOrigin);
    };
    if (!runSetup(fresh.get(), "SET SESSION TRANSACTION ISOLATION LEVEL READ UNCOMMITTED"))
        failSetup(L"SET SESSION TRANSACTION ISOLATION LEVEL READ UNCOMMITTED");
    if (supportsSetNames(readVersion(fresh.get())) && !runSetup(fresh.get(), "SET NAMES 'utf8'"))
        failSetup(L"SET NAMES 'utf8'");
    connectError_.clear();
    connection_ = std::move(fresh);
}

bool MySQLDatabaseProvider::supportsSetNames(const std::wstring& serverVersion) {
    return versionAtLeast(serverVersion, L"4.1");
}

bool MySQLDatabaseProvider::isConnected() {
    return connection_ && mysql_ping(connection_.get()) == 0;
}

void MySQLDatabaseProvider::send(const std::wstring& text, const std::string& utf8, const wchar_t* what,
                                 ErrorContext where) {
    const std::string name = where.originName();
    const char* origin = name.c_str();
    MYSQL* h = handle(origin);
    if (mysql_real_query(h, utf8.data(), static_cast<unsigned long>(utf8.size())) == 0) return;
    if (connectionLost(mysql_errno(h)) && reconnect_) {
        LogManager::instance().log(1, L"%s reconnect", origin);
        reconnect_();
        h = handle(origin);
        if (mysql_real_query(h, utf8.data(), static_cast<unsigned long>(utf8.size())) == 0) return;
    }
    raisePlainError(format(L"%s %s: MySQLDatabaseProvider error %u:%s", what, text, mysql_errno(h),
                           fromDatabaseText(mysql_error(h))),
                    std::move(where));
}

std::unique_ptr<IDatabaseRecordSet> MySQLDatabaseProvider::query(const std::wstring& text) {
    LogManager::instance().log(0, L"MySQLDatabaseProvider Query: %s", text);
    send(text, toDatabaseText(text), L"Can't query", {L"", kQueryOrigin, kQueryLine});
    MySqlResult result(mysql_store_result(connection_.get()));
    if (!result) raisePlainError(L"Can't get result for query", {L"", kQueryOrigin, kResultLine});
    return std::make_unique<VMySQLRecordSet>(std::move(result));
}

void MySQLDatabaseProvider::execute(const std::wstring& text) {
    LogManager::instance().log(0, L"MySQLDatabaseProvider Execute: %s", text);
    send(text, toDatabaseText(text), L"Can't execute", kExecuteOrigin);
    MySqlResult ignored(mysql_store_result(connection_.get()));
}

std::wstring MySQLDatabaseProvider::escape(const std::wstring& text) {
    MYSQL* h = handle();
    std::string utf8 = toDatabaseText(text);
    std::vector<char> buffer(utf8.size() * 2 + 1);
    unsigned long length =
        mysql_real_escape_string(h, buffer.data(), utf8.data(), static_cast<unsigned long>(utf8.size()));
    if (length == static_cast<unsigned long>(-1)) raisePlainError(L"Unable to escape text for the database");
    return fromDatabaseText(std::string_view(buffer.data(), length));
}

std::wstring MySQLDatabaseProvider::readVersion(MYSQL* h) {
    if (mysql_query(h, "select version()") == 0) {
        MySqlResult result(mysql_store_result(h));
        MYSQL_ROW row = result ? mysql_fetch_row(result.get()) : nullptr;
        if (row && row[0]) return fromDatabaseText(row[0]);
    }
    raisePlainError(L"Unable to get MySQLDatabaseProvider version", kVersionOrigin);
}

std::wstring MySQLDatabaseProvider::version() {
    return readVersion(handle(kVersionOrigin));
}

std::wstring MySQLDatabaseProvider::lastError() {
    if (connection_) return fromDatabaseText(mysql_error(connection_.get()));
    return connectError_;
}

} // namespace db
