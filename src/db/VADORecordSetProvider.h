// An ADO record set (ADODB.Recordset) read forward.
#pragma once
#include "db/Dispatch.h"
#include "db/IDatabaseRecordSet.h"

#include <vector>

namespace db {

class VADORecordSetProvider : public IDatabaseRecordSet {
public:
    explicit VADORecordSetProvider(Dispatch recordSet);

    bool hasRow() const override;
    int columnIndex(const std::wstring& name) const override;
    std::optional<std::wstring> value(int index) const override;
    void next() override;

    // An ADO value as text: nothing for NULL and EMPTY; others through VariantChangeType.
    static std::optional<std::wstring> text(const _variant_t& value);

private:
    Dispatch recordSet_;
    Dispatch fields_;
    std::vector<std::wstring> columns_;
};

} // namespace db
