#include "app/CallStack.h"

#include "app/Exceptions.h"
#include "app/Log.h"

#include <dbghelp.h>

#include <mutex>

namespace {

std::mutex registration;
int recorders = 0;
DWORD slot = TLS_OUT_OF_INDEXES;
PVOID handler = nullptr;

std::once_flag symbolsReady;
thread_local int suspended = 0;

// The C++ runtime raises its exceptions with these codes; only a new throw starts a failure,
// the unwinding phases and forced unwinds belong to one already recorded.
constexpr DWORD kCxxUnwind = 0x21474343;
constexpr DWORD kCxxForcedUnwind = 0x22474343;

void initSymbols() {
    SymSetOptions(SymGetOptions() | SYMOPT_LOAD_LINES | SYMOPT_UNDNAME | SYMOPT_DEFERRED_LOADS);
    SymInitializeW(GetCurrentProcess(), nullptr, TRUE);
}

std::wstring describeFrame(DWORD64 address) {
    HANDLE process = GetCurrentProcess();
    alignas(SYMBOL_INFOW) char buffer[sizeof(SYMBOL_INFOW) + 512 * sizeof(wchar_t)] = {};
    auto* symbol = reinterpret_cast<SYMBOL_INFOW*>(buffer);
    symbol->SizeOfStruct = sizeof(SYMBOL_INFOW);
    symbol->MaxNameLen = 512;
    DWORD64 displacement = 0;
    bool haveName = SymFromAddrW(process, address, &displacement, symbol) != FALSE;
    std::wstring name = haveName ? std::wstring(symbol->Name) : L"";

    IMAGEHLP_LINEW64 line{};
    line.SizeOfStruct = sizeof line;
    DWORD lineDisplacement = 0;
    if (SymGetLineFromAddrW64(process, address, &lineDisplacement, &line) && line.FileName) {
        if (haveName) return format(L"   at %s in %s:line %d\n", name, line.FileName, line.LineNumber);
        return format(L"   at %I64X in %s:line %d\n", address, line.FileName, line.LineNumber);
    }
    IMAGEHLP_MODULEW64 module{};
    module.SizeOfStruct = sizeof module;
    bool haveModule = SymGetModuleInfoW64(process, address, &module) != FALSE;
    if (haveName) {
        if (haveModule && module.ModuleName[0]) return format(L"   at %s in %s\n", name, module.ModuleName);
        return format(L"   at %s in %I64X\n", name, haveModule ? module.BaseOfImage : 0);
    }
    if (haveModule && module.ModuleName[0]) return format(L"   at %I64X in %s\n", address, module.ModuleName);
    return format(L"   at %I64X in %I64X\n", address, haveModule ? module.BaseOfImage : 0);
}

} // namespace

LONG CALLBACK recordException(EXCEPTION_POINTERS* pointers) {
    DWORD code = pointers->ExceptionRecord->ExceptionCode;
    if (slot == TLS_OUT_OF_INDEXES || suspended > 0 || code == kCxxUnwind || code == kCxxForcedUnwind)
        return EXCEPTION_CONTINUE_SEARCH;
    auto* recorder = static_cast<VectoredException*>(TlsGetValue(slot));
    if (recorder && recorder->reentry_ == 0) {
        ++recorder->reentry_;
        try {
            recorder->capture(*pointers->ContextRecord);
        } catch (...) {
        }
        --recorder->reentry_;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

CallStackSuspension::CallStackSuspension() { ++suspended; }
CallStackSuspension::~CallStackSuspension() { --suspended; }

VectoredException::VectoredException() {
    std::lock_guard<std::mutex> lock(registration);
    if (recorders == 0) {
        if (slot == TLS_OUT_OF_INDEXES) slot = TlsAlloc();
        if (slot == TLS_OUT_OF_INDEXES) raiseOsError(L"Unable to allocate TLS index", GetLastError());
        handler = AddVectoredExceptionHandler(0, recordException);
        if (!handler) raiseOsError(L"Unable to add vectored exeception handler", GetLastError());
    }
    ++recorders;
    TlsSetValue(slot, this);
    // dbghelp is delay-loaded: load it here, on the program's own identity and outside any
    // exception handler, rather than at the first failure, which may come while the thread
    // impersonates an account (whose own device map would then resolve the DLL's path).
    std::call_once(symbolsReady, initSymbols);
}

VectoredException::~VectoredException() {
    std::lock_guard<std::mutex> lock(registration);
    TlsSetValue(slot, nullptr);
    if (--recorders == 0 && handler) {
        if (RemoveVectoredExceptionHandler(handler))
            LogManager::instance().log(0, L"Vectored exception handler removed successfully");
        else
            LogManager::instance().log(0, L"Unable to remove vectored exception handler %s", osErrorText(GetLastError()));
        handler = nullptr;
    }
}

void VectoredException::capture(const CONTEXT& original) {
    CONTEXT context = original;
    STACKFRAME64 frame{};
    frame.AddrPC.Offset = context.Rip;
    frame.AddrPC.Mode = AddrModeFlat;
    frame.AddrFrame.Offset = context.Rbp;
    frame.AddrFrame.Mode = AddrModeFlat;
    frame.AddrStack.Offset = context.Rsp;
    frame.AddrStack.Mode = AddrModeFlat;
    std::wstring stack;
    HANDLE process = GetCurrentProcess(), thread = GetCurrentThread();
    for (int depth = 0; depth < 64; ++depth) {
        if (!StackWalk64(IMAGE_FILE_MACHINE_AMD64, process, thread, &frame, &context, nullptr,
                         SymFunctionTableAccess64, SymGetModuleBase64, nullptr) ||
            frame.AddrPC.Offset == 0)
            break;
        stack += describeFrame(frame.AddrPC.Offset);
    }
    stack_ = std::move(stack);
}
