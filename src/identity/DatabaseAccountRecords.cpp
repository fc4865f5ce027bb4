#include "identity/DatabaseAccountRecords.h"

namespace RunTime::User {
namespace {

class RecordSetRow : public AccountRow {
public:
    explicit RecordSetRow(VRecordSet rows) : rows_(std::move(rows)) {}
    bool lookup(const std::wstring& column, std::wstring* value) override {
        std::wstring read;
        if (!rows_.lookup(column, read)) return false;
        *value = std::move(read);
        return true;
    }

private:
    VRecordSet rows_;
};

} // namespace

db::DatabaseConnection& DatabaseAccountRecords::connection() {
    if (borrowed_) return *borrowed_;
    if (!owned_) owned_ = std::make_unique<db::DatabaseConnection>(false);
    return *owned_;
}

std::wstring DatabaseAccountRecords::escape(const std::wstring& text) {
    return connection().escape(text);
}

std::unique_ptr<AccountRow> DatabaseAccountRecords::firstRow(const std::wstring& query) {
    VRecordSet rows = connection().query(query);
    if (!rows.hasRow()) return nullptr;
    return std::make_unique<RecordSetRow>(std::move(rows));
}

} // namespace RunTime::User
