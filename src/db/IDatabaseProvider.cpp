#include "db/IDatabaseProvider.h"

#include "app/Exceptions.h"
#include "db/JetDatabaseProvider.h"
#include "db/MSSQLDatabaseProvider.h"
#include "db/MySQLDatabaseProvider.h"

namespace db {
namespace {

// Where an unknown provider name fails, as the panel's logs have always shown it.
constexpr const char* kCreateOrigin = "IDatabaseProvider::Create";
constexpr int kCreateLine = 109;

} // namespace

std::unique_ptr<IDatabaseProvider> IDatabaseProvider::create(const std::wstring& name) {
    if (name.empty() || name == L"MySQL") return std::make_unique<MySQLDatabaseProvider>();
    if (name == L"MSSQL") return std::make_unique<MSSQLDatabaseProvider>();
    if (name == L"Jet") return std::make_unique<JetDatabaseProvider>();
    raisePlainError(L"Unable to build database provider " + name, {L"", kCreateOrigin, kCreateLine});
}

} // namespace db
