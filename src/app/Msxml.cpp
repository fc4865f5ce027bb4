#include "app/Msxml.h"

#include "app/Exceptions.h"

#include <comdef.h>

namespace com {

void check(HRESULT hr) {
    if (FAILED(hr)) _com_issue_error(hr);
}

void initialize() {
    HRESULT hr = CoInitialize(nullptr);
    if (hr != S_OK && hr != S_FALSE && hr != RPC_E_CHANGED_MODE)
        throwRunTimeError(static_cast<DWORD>(hr), L"Unable to initialize COM");
}

} // namespace com
