// The panel database on Microsoft SQL Server through its OLE DB provider.
#pragma once
#include "db/VADODatabaseProvider.h"

namespace db {

class MSSQLDatabaseProvider : public VADODatabaseProvider {
public:
    // The host names the server as SQL Server expects it ("server", "server\instance",
    // "server,port"); the MySQL port setting does not apply.
    std::wstring connectionString(const DatabaseSettings& settings) const override;
};

} // namespace db
