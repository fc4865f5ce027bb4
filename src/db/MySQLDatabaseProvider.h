// The panel database on a MySQL (or MariaDB) server, through the MySQL client library.
#pragma once
#include "app/Exceptions.h"
#include "db/IDatabaseProvider.h"
#include "db/MySqlHandles.h"

#include <string>

namespace db {

class MySQLDatabaseProvider : public IDatabaseProvider {
public:
    // Connects and prepares the session: isolation level READ UNCOMMITTED, and "SET NAMES 'utf8'"
    // for servers from 4.1 on. A connection that fails any step is dropped; a connection held
    // before is replaced only by one that is ready.
    void connect(const DatabaseSettings& settings) override;
    bool isConnected() override;
    // A lost connection (2006, 2013) on the first try is reconnected once and the text sent again.
    std::unique_ptr<IDatabaseRecordSet> query(const std::wstring& text) override;
    void execute(const std::wstring& text) override;
    std::wstring escape(const std::wstring& text) override;
    std::wstring version() override;
    std::wstring lastError() override;

    // Whether a server of that version understands "SET NAMES".
    static bool supportsSetNames(const std::wstring& serverVersion);

private:
    MYSQL* handle(ErrorContext where = {}) const;
    // Sends the text; one reconnect when the connection turns out lost. Raises "WHAT TEXT: ..."
    // on failure, in the context given.
    void send(const std::wstring& text, const std::string& utf8, const wchar_t* what, ErrorContext where);
    static std::wstring readVersion(MYSQL* handle);

    MySqlConnection connection_;
    std::wstring connectError_;
};

} // namespace db
