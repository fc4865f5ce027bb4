// The account records read from the panel database: escaping and first rows through one
// connection, made on the first query so that a command that never asks costs nothing.
#pragma once
#include "db/DatabaseConnection.h"
#include "identity/UserRecord.h"

#include <memory>

namespace RunTime::User {

class DatabaseAccountRecords : public AccountRecords {
public:
    // Over the panel's own database, connected on first use.
    DatabaseAccountRecords() = default;
    // Over a connection the caller holds (it must outlive this object).
    explicit DatabaseAccountRecords(db::DatabaseConnection& connection) : borrowed_(&connection) {}

    std::wstring escape(const std::wstring& text) override;
    std::unique_ptr<AccountRow> firstRow(const std::wstring& query) override;

private:
    db::DatabaseConnection& connection();

    db::DatabaseConnection* borrowed_ = nullptr;
    std::unique_ptr<db::DatabaseConnection> owned_;
};

} // namespace RunTime::User
