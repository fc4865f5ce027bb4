#include "app/Guard.h"

#include "app/CallStack.h"
#include "app/ExecuteContext.h"
#include "app/Log.h"
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

thread_local DWORD pendingCode = 0;

} // namespace

extern "C" [[noreturn]] void quarnThrowPendingStructuredException() {
    throw cwrpexception(pendingCode);
}

// Where a structured exception that nobody handled resumes when a guarded block can take it: the
// thunk is entered with the faulting address in RAX and pushes it as its return address, so
// that the unwinder walks from here into the faulting frame and on to the guarded block. The
// frame pointer keeps the unwind right whatever the alignment of the faulting stack was.
extern "C" void quarnStructuredExceptionThunk();
asm(R"(
    .text
    .globl quarnStructuredExceptionThunk
quarnStructuredExceptionThunk:
    pushq %rax
    .def quarnStructuredExceptionFrame; .scl 3; .type 32; .endef
    .seh_proc quarnStructuredExceptionFrame
quarnStructuredExceptionFrame:
    pushq %rbp
    .seh_pushreg %rbp
    movq %rsp, %rbp
    .seh_setframe %rbp, 0
    .seh_endprologue
    andq $-16, %rsp
    subq $32, %rsp
    call quarnThrowPendingStructuredException
    int3
    .seh_endproc
)");

namespace {

// The last filter a structured exception meets when no frame handled it: raised with a code of
// its own (RaiseException), or a fault inside a system library that does not guard its callers'
// arguments. Inside a guarded block it resumes as a cwrpexception there; anywhere else it ends
// the process the way every failure ends: one message, an event-log entry, exit code 1.
LONG WINAPI outermostFilter(EXCEPTION_POINTERS* pointers) {
    EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    if (translatorDepth > 0 && record->ExceptionCode != EXCEPTION_STACK_OVERFLOW &&
        !(record->ExceptionFlags & EXCEPTION_NONCONTINUABLE)) {
        pendingCode = record->ExceptionCode;
        CONTEXT* context = pointers->ContextRecord;
        context->Rax = context->Rip;
        context->Rip = reinterpret_cast<DWORD64>(&quarnStructuredExceptionThunk);
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    LogManager::instance().log(3, L"C Exception: %u", static_cast<unsigned>(record->ExceptionCode));
    TerminateProcess(GetCurrentProcess(), 1);
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

void installOutermostExceptionFilter() {
    static LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(outermostFilter);
    (void)previous;
}

SehTranslatorScope::SehTranslatorScope() {
    static PVOID handler = AddVectoredExceptionHandler(1, translate);
    (void)handler;
    installOutermostExceptionFilter();
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
