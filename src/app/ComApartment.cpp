#include "app/ComApartment.h"

#include "app/Exceptions.h"

#include <objbase.h>

namespace com {

bool initialize() {
    HRESULT hr = CoInitialize(nullptr);
    if (hr == RPC_E_CHANGED_MODE) return false;
    if (FAILED(hr)) raiseRunTimeError(static_cast<DWORD>(hr), L"Unable to initialize COM");
    return true;
}

Apartment::~Apartment() {
    if (initialized_) CoUninitialize();
}

} // namespace com
