#include "db/VADORecordSetProvider.h"

#include "app/Exceptions.h"
#include "app/Text.h"

namespace db {

VADORecordSetProvider::VADORecordSetProvider(Dispatch recordSet) : recordSet_(std::move(recordSet)) {
    fields_ = recordSet_.getObject(L"Fields");
    long count = static_cast<long>(fields_.get(L"Count"));
    for (long i = 0; i < count; ++i)
        columns_.push_back(
            static_cast<const wchar_t*>(_bstr_t(fields_.getObject(L"Item", {_variant_t(i)}).get(L"Name"))));
}

bool VADORecordSetProvider::hasRow() const {
    return !static_cast<bool>(recordSet_.get(L"EOF"));
}

int VADORecordSetProvider::columnIndex(const std::wstring& name) const {
    for (size_t i = 0; i < columns_.size(); ++i)
        if (text::equalNoCase(columns_[i], name)) return static_cast<int>(i);
    return -1;
}

std::optional<std::wstring> VADORecordSetProvider::value(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= columns_.size() || !hasRow())
        raisePlainError(format(L"No column %d in the current row", index));
    return text(fields_.getObject(L"Item", {_variant_t(static_cast<long>(index))}).get(L"Value"));
}

void VADORecordSetProvider::next() {
    recordSet_.call(L"MoveNext");
}

std::optional<std::wstring> VADORecordSetProvider::text(const _variant_t& value) {
    if (value.vt == VT_NULL || value.vt == VT_EMPTY) return std::nullopt;
    _variant_t converted;
    HRESULT hr =
        VariantChangeType(&converted, const_cast<VARIANT*>(static_cast<const VARIANT*>(&value)), 0, VT_BSTR);
    if (FAILED(hr)) _com_issue_error(hr);
    return std::wstring(converted.bstrVal ? converted.bstrVal : L"", SysStringLen(converted.bstrVal));
}

} // namespace db
