#include "db/Dispatch.h"

#include "app/ComApartment.h"

#include <vector>

namespace db {

Dispatch Dispatch::create(const wchar_t* progId) {
    com::initialize();
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(progId, &clsid))) return Dispatch();
    IDispatchPtr object;
    HRESULT hr = object.CreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER);
    if (FAILED(hr)) _com_issue_error(hr);
    return Dispatch(object);
}

_variant_t Dispatch::invoke(const wchar_t* name, WORD flags, std::initializer_list<_variant_t> args) const {
    if (!object_) _com_issue_error(E_POINTER);
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) _com_issue_error(hr);
    // Arguments travel last to first.
    std::vector<VARIANTARG> reversed(args.size());
    size_t i = args.size();
    for (const _variant_t& arg : args)
        reversed[--i] = arg;
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    _variant_t result;
    EXCEPINFO failure{};
    hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result, &failure, nullptr);
    if (hr == DISP_E_EXCEPTION) {
        if (failure.pfnDeferredFillIn) failure.pfnDeferredFillIn(&failure);
        HRESULT code = failure.scode ? failure.scode : E_FAIL;
        _bstr_t description(failure.bstrDescription, false);
        SysFreeString(failure.bstrSource);
        SysFreeString(failure.bstrHelpFile);
        ICreateErrorInfo* create = nullptr;
        if (SUCCEEDED(CreateErrorInfo(&create))) {
            create->SetDescription(description.length() ? static_cast<wchar_t*>(description)
                                                        : const_cast<wchar_t*>(name));
            IErrorInfo* info = nullptr;
            create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
            create->Release();
            throw _com_error(code, info);
        }
        _com_issue_error(code);
    }
    if (FAILED(hr)) _com_issue_error(hr);
    return result;
}

_variant_t Dispatch::get(const wchar_t* name, std::initializer_list<_variant_t> args) const {
    return invoke(name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args);
}

void Dispatch::put(const wchar_t* name, const _variant_t& value) const {
    invoke(name, DISPATCH_PROPERTYPUT, {value});
}

_variant_t Dispatch::call(const wchar_t* name, std::initializer_list<_variant_t> args) const {
    return invoke(name, DISPATCH_METHOD, args);
}

Dispatch Dispatch::getObject(const wchar_t* name, std::initializer_list<_variant_t> args) const {
    _variant_t value = get(name, args);
    if (value.vt != VT_DISPATCH || !value.pdispVal) _com_issue_error(DISP_E_TYPEMISMATCH);
    return Dispatch(IDispatchPtr(value.pdispVal));
}

} // namespace db
