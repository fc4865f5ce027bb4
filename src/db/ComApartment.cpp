#include "db/ComApartment.h"

#include "app/Exceptions.h"

#include <objbase.h>

namespace db {

ComApartment::ComApartment() {
    HRESULT hr = CoInitialize(nullptr);
    if (hr == RPC_E_CHANGED_MODE) return;
    if (FAILED(hr)) raiseRunTimeError(static_cast<DWORD>(hr), L"Unable to initialize COM");
    initialized_ = true;
}

ComApartment::~ComApartment() {
    if (initialized_) CoUninitialize();
}

} // namespace db
