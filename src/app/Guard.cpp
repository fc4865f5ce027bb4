#include "app/Guard.h"

#include "app/CallStack.h"
#include "app/ExecuteContext.h"
#include "app/Text.h"

#include <psapi.h>

namespace ThreadCancelation {

CancelationPoint::CancelationPoint(int kind, int flags) : kind_(kind), flags_(flags) {
    DWORD slot = executecontext::get().cancelationSlot;
    previous_ = static_cast<CancelationPoint*>(TlsGetValue(slot));
    TlsSetValue(slot, this);
}

CancelationPoint::~CancelationPoint() { TlsSetValue(executecontext::get().cancelationSlot, previous_); }

CancelationPoint* CancelationPoint::current() {
    return static_cast<CancelationPoint*>(TlsGetValue(executecontext::get().cancelationSlot));
}

} // namespace ThreadCancelation

namespace {

thread_local int translatorDepth = 0;

bool isHardwareFault(DWORD code) {
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_PRIV_INSTRUCTION:
        return true;
    default:
        return false;
    }
}

bool inModule(const wchar_t* name, const void* address) {
    HMODULE module = GetModuleHandleW(name);
    MODULEINFO info{};
    if (!module || !GetModuleInformation(GetCurrentProcess(), module, &info, sizeof info)) return false;
    auto base = static_cast<const char*>(info.lpBaseOfDll);
    return address >= base && static_cast<const char*>(address) < base + info.SizeOfImage;
}

// Only faults of the program's own code (and of the C runtime it calls) are translated: system
// libraries guard their own probes with frame handlers, which must still see their faults.
LONG CALLBACK translate(EXCEPTION_POINTERS* pointers) {
    DWORD code = pointers->ExceptionRecord->ExceptionCode;
    void* at = pointers->ExceptionRecord->ExceptionAddress;
    if (translatorDepth > 0 && isHardwareFault(code) && (inModule(nullptr, at) || inModule(L"msvcrt.dll", at)))
        throw cwrpexception(code);
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

SehTranslatorScope::SehTranslatorScope() {
    static PVOID handler = AddVectoredExceptionHandler(1, translate);
    (void)handler;
    ++translatorDepth;
}

SehTranslatorScope::~SehTranslatorScope() { --translatorDepth; }

void rethrowWithContext(ErrorContext context) {
    CallStackSuspension keepOriginalStack;
    try {
        throw;
    } catch (vexception& e) {
        e.addContext(std::move(context));
        throw;
    } catch (const _com_error& e) {
        std::wstring message = e.ErrorMessage() ? e.ErrorMessage() : L"";
        message += format(L" (COM Error %08X", static_cast<unsigned>(e.Error()));
        _bstr_t description = e.Description();
        if (description.length() != 0) message += L", Description: " + std::wstring(description);
        message += L") at " + context.message;
        context.message.clear();
        throw vexception(message, std::move(context));
    } catch (const std::exception& e) {
        throw vexception(text::fromAnsi(e.what()), std::move(context));
    } catch (const cwrpexception& e) {
        throw vexception(format(L"C Exception: %u", e.code()), std::move(context));
    } catch (...) {
        throw vexception(L"Unexpected error", std::move(context));
    }
}
