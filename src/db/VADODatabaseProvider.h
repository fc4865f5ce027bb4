// A panel database reached through ADO (ADODB.Connection) and an OLE DB provider. The subclasses
// say which provider and how the settings become its connection string.
#pragma once
#include "db/Dispatch.h"
#include "db/IDatabaseProvider.h"

namespace db {

class VADODatabaseProvider : public IDatabaseProvider {
public:
    // Time-outs from the panel's registry values "ADOConnectionTimeout" and "ADOCommandTimeout"
    // (when present). A failed open raises "Unable to ADO conect with connection string: %s",
    // the password in it masked.
    void connect(const DatabaseSettings& settings) override;
    bool isConnected() override;
    std::unique_ptr<IDatabaseRecordSet> query(const std::wstring& text) override;
    void execute(const std::wstring& text) override;
    // Single quotes doubled: ADO's engines take no backslash escapes.
    std::wstring escape(const std::wstring& text) override;
    std::wstring version() override;
    std::wstring lastError() override { return lastError_; }

    virtual std::wstring connectionString(const DatabaseSettings& settings) const = 0;

    // A connection-string value in double quotes (inner ones doubled), so that no value can add
    // attributes of its own.
    static std::wstring quoteValue(const std::wstring& value);
    // The connection string with every Password value replaced by "*****", for messages.
    static std::wstring maskPassword(const std::wstring& connectionString);

private:
    Dispatch connection_;
    std::wstring lastError_;
};

} // namespace db
