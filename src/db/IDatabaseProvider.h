// A database the panel keeps its configuration in, whatever the engine.
#pragma once
#include "db/DatabaseSettings.h"
#include "db/IDatabaseRecordSet.h"

#include <functional>
#include <memory>
#include <string>

namespace db {

class IDatabaseProvider {
public:
    virtual ~IDatabaseProvider() = default;

    // "MySQL" or "" gives MySQLDatabaseProvider, "MSSQL" MSSQLDatabaseProvider, "Jet"
    // JetDatabaseProvider; any other name raises "Unable to build database provider NAME".
    static std::unique_ptr<IDatabaseProvider> create(const std::wstring& name);

    virtual void connect(const DatabaseSettings& settings) = 0;
    virtual bool isConnected() = 0;
    virtual std::unique_ptr<IDatabaseRecordSet> query(const std::wstring& text) = 0;
    virtual void execute(const std::wstring& text) = 0;
    // The text made safe inside single quotes.
    virtual std::wstring escape(const std::wstring& text) = 0;
    virtual std::wstring version() = 0;
    virtual std::wstring lastError() = 0;

    // Called when a query finds the connection lost; it is expected to connect again.
    void setReconnect(std::function<void()> reconnect) { reconnect_ = std::move(reconnect); }

protected:
    std::function<void()> reconnect_;
};

} // namespace db
