// A query result as callers read it: the current row's columns by name.
#pragma once
#include "db/IDatabaseRecordSet.h"

#include <memory>
#include <optional>
#include <string>

class VRecordSet {
public:
    explicit VRecordSet(std::unique_ptr<db::IDatabaseRecordSet> rows);

    bool hasRow() const { return rows_->hasRow(); }
    void next() { rows_->next(); }

    // False for NULL (the output keeps its value); a column the result does not have raises
    // "Unexpected query for column NAME".
    bool lookup(const std::wstring& column, std::wstring& value) const;
    // The value, or the default for NULL; a missing column raises like lookup.
    std::wstring get(const std::wstring& column, const std::wstring& fallback = L"") const;

    // The value of the column at a position (for results whose columns share a name); nothing for
    // NULL; a position the result does not have raises.
    std::optional<std::wstring> valueAt(int index) const;

private:
    std::unique_ptr<db::IDatabaseRecordSet> rows_;
};
