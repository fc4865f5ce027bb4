#include "xml/Msxml.h"

#include <comdef.h>

namespace com {

ByteArray::ByteArray(ULONG count) : size_(count) {
    VariantInit(&v_);
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, count);
    if (!array) check(E_OUTOFMEMORY);
    v_.vt = VT_ARRAY | VT_UI1;
    v_.parray = array;
}

void check(HRESULT hr) {
    if (FAILED(hr)) _com_issue_error(hr);
}

} // namespace com
