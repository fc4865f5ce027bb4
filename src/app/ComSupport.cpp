// The COM support routines that Microsoft's compiler takes from its comsupp library, which
// mingw-w64 does not ship: raising _com_error with error information and the narrow/BSTR
// conversions of _bstr_t.
#include <comdef.h>
#include <comutil.h>

#include "app/Text.h"

void WINAPI _com_issue_errorex(HRESULT hr, IUnknown* unknown, REFIID iid) {
    IErrorInfo* info = nullptr;
    ISupportErrorInfo* support = nullptr;
    if (unknown && SUCCEEDED(unknown->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)))) {
        if (support->InterfaceSupportsErrorInfo(iid) == S_OK && GetErrorInfo(0, &info) != S_OK) info = nullptr;
        support->Release();
    }
    throw _com_error(hr, info); // takes ownership of info
}

namespace _com_util {

BSTR WINAPI ConvertStringToBSTR(const char* source) {
    if (!source) return nullptr;
    std::wstring wide = text::fromAnsi(source);
    BSTR result = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!result) _com_issue_error(E_OUTOFMEMORY);
    return result;
}

char* WINAPI ConvertBSTRToString(BSTR source) {
    if (!source) return nullptr;
    std::string narrow = text::toAnsi(std::wstring_view(source, SysStringLen(source)));
    char* result = new char[narrow.size() + 1];
    std::copy(narrow.begin(), narrow.end(), result);
    result[narrow.size()] = '\0';
    return result;
}

} // namespace _com_util
