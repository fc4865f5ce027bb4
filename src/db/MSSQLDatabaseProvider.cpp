#include "db/MSSQLDatabaseProvider.h"

namespace db {

std::wstring MSSQLDatabaseProvider::connectionString(const DatabaseSettings& settings) const {
    return L"Provider=SQLOLEDB;Data Source=" + quoteValue(settings.host) + L";Initial Catalog=" +
           quoteValue(settings.database) + L";User ID=" + quoteValue(settings.login) + L";Password=" +
           quoteValue(settings.password) + L";";
}

} // namespace db
