#include "db/VRecordSet.h"

#include "app/Exceptions.h"

namespace {

// Where a query for an unknown column fails, as the panel's logs have always shown it.
constexpr const char* kLookupOrigin = "VRecordSet::lookup";
constexpr int kLookupLine = 648;
constexpr const char* kGetOrigin = "VRecordSet::get";
constexpr int kGetLine = 629;

int requireColumn(const db::IDatabaseRecordSet& rows, const std::wstring& column, ErrorContext where) {
    int index = rows.columnIndex(column);
    if (index < 0) raisePlainError(L"Unexpected query for column " + column, std::move(where));
    return index;
}

void requireRow(const db::IDatabaseRecordSet& rows, ErrorContext where = {}) {
    if (!rows.hasRow()) raisePlainError(L"No current row in the query result", std::move(where));
}

} // namespace

VRecordSet::VRecordSet(std::unique_ptr<db::IDatabaseRecordSet> rows) : rows_(std::move(rows)) {}

bool VRecordSet::lookup(const std::wstring& column, std::wstring& value) const {
    int index = requireColumn(*rows_, column, {L"", kLookupOrigin, kLookupLine});
    requireRow(*rows_, kLookupOrigin);
    auto found = rows_->value(index);
    if (!found) return false;
    value = std::move(*found);
    return true;
}

std::wstring VRecordSet::get(const std::wstring& column, const std::wstring& fallback) const {
    int index = requireColumn(*rows_, column, {L"", kGetOrigin, kGetLine});
    requireRow(*rows_, kGetOrigin);
    return rows_->value(index).value_or(fallback);
}

std::optional<std::wstring> VRecordSet::valueAt(int index) const {
    requireRow(*rows_);
    return rows_->value(index);
}
