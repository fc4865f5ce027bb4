// A MySQL query result stored whole on the client side.
#pragma once
#include "db/IDatabaseRecordSet.h"
#include "db/MySqlHandles.h"

#include <vector>

namespace db {

class VMySQLRecordSet : public IDatabaseRecordSet {
public:
    explicit VMySQLRecordSet(MySqlResult result);

    bool hasRow() const override { return row_ != nullptr; }
    int columnIndex(const std::wstring& name) const override;
    std::optional<std::wstring> value(int index) const override;
    void next() override;

private:
    MySqlResult result_;
    std::vector<std::wstring> columns_;
    MYSQL_ROW row_ = nullptr;
    unsigned long* lengths_ = nullptr;
};

} // namespace db
