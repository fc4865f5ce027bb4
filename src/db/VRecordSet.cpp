#include "db/VRecordSet.h"

#include "app/Exceptions.h"

namespace {

constexpr int kLookupLine = 648;
constexpr int kGetLine = 629;

int requireColumn(const db::IDatabaseRecordSet& rows, const std::wstring& column, const char* origin,
                  int line) {
    int index = rows.columnIndex(column);
    if (index < 0) raisePlainError(L"Unexpected query for column " + column, {L"", origin, line});
    return index;
}

void requireRow(const db::IDatabaseRecordSet& rows, const char* origin) {
    if (!rows.hasRow()) raisePlainError(L"No current row in the query result", {L"", origin, __LINE__});
}

} // namespace

VRecordSet::VRecordSet(std::unique_ptr<db::IDatabaseRecordSet> rows) : rows_(std::move(rows)) {}

bool VRecordSet::lookup(const std::wstring& column, std::wstring& value) const {
    int index = requireColumn(*rows_, column, "VRecordSet::lookup", kLookupLine);
    requireRow(*rows_, "VRecordSet::lookup");
    auto found = rows_->value(index);
    if (!found) return false;
    value = std::move(*found);
    return true;
}

std::wstring VRecordSet::get(const std::wstring& column, const std::wstring& fallback) const {
    int index = requireColumn(*rows_, column, "VRecordSet::get", kGetLine);
    requireRow(*rows_, "VRecordSet::get");
    return rows_->value(index).value_or(fallback);
}

std::optional<std::wstring> VRecordSet::valueAt(int index) const {
    requireRow(*rows_, "VRecordSet::valueAt");
    return rows_->value(index);
}
