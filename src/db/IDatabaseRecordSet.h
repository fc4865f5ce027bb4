// One query result as a provider delivers it: rows read one after another, columns by index.
#pragma once
#include <optional>
#include <string>

namespace db {

class IDatabaseRecordSet {
public:
    virtual ~IDatabaseRecordSet() = default;
    virtual bool hasRow() const = 0;
    // -1 when the result has no column of that name.
    virtual int columnIndex(const std::wstring& name) const = 0;
    // The value of a column of the current row; nothing for NULL.
    virtual std::optional<std::wstring> value(int index) const = 0;
    virtual void next() = 0;
};

} // namespace db
