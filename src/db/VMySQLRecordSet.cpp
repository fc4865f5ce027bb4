#include "db/VMySQLRecordSet.h"

#include "app/Exceptions.h"
#include "db/DatabaseText.h"

namespace db {

VMySQLRecordSet::VMySQLRecordSet(MySqlResult result) : result_(std::move(result)) {
    unsigned count = mysql_num_fields(result_.get());
    MYSQL_FIELD* fields = mysql_fetch_fields(result_.get());
    for (unsigned i = 0; i < count; ++i)
        columns_.push_back(fromDatabaseText(std::string_view(fields[i].name, fields[i].name_length)));
    next();
}

int VMySQLRecordSet::columnIndex(const std::wstring& name) const {
    for (size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i] == name) return static_cast<int>(i);
    return -1;
}

std::optional<std::wstring> VMySQLRecordSet::value(int index) const {
    if (!row_ || index < 0 || static_cast<size_t>(index) >= columns_.size())
        raisePlainError(format(L"No column %d in the current row", index));
    if (!row_[index]) return std::nullopt;
    return fromDatabaseText(std::string_view(row_[index], lengths_[index]));
}

void VMySQLRecordSet::next() {
    row_ = mysql_fetch_row(result_.get());
    lengths_ = row_ ? mysql_fetch_lengths(result_.get()) : nullptr;
}

} // namespace db
