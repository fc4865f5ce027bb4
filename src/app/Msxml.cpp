#include "app/Msxml.h"

#include <comdef.h>

namespace com {

void check(HRESULT hr) {
    if (FAILED(hr)) _com_issue_error(hr);
}

} // namespace com
