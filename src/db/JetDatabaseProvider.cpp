#include "db/JetDatabaseProvider.h"

#include "app/Exceptions.h"
#include "app/Text.h"

#include <windows.h>

namespace db {
namespace {

bool isLocalHost(const std::wstring& host) {
    if (host.empty() || host == L"." || host == L"127.0.0.1" || text::equalNoCase(host, L"localhost"))
        return true;
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &size) && text::equalNoCase(host, name);
}

} // namespace

void JetDatabaseProvider::connect(const DatabaseSettings& settings) {
    if (!isLocalHost(settings.host)) raisePlainError(L"Jet support only local databases");
    VADODatabaseProvider::connect(settings);
}

std::wstring JetDatabaseProvider::connectionString(const DatabaseSettings& settings) const {
    return L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + quoteValue(settings.database) + L";User ID=" +
           quoteValue(settings.login) + L";Password=" + quoteValue(settings.password) + L";";
}

} // namespace db
