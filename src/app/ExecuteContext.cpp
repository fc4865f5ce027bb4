#include "app/ExecuteContext.h"

#include "app/DebugFlag.h"

#include <psapi.h>

#include <vector>

namespace executecontext {
namespace {

ExecuteContext* findExported() {
    HANDLE process = GetCurrentProcess();
    std::vector<HMODULE> modules(1024 / sizeof(HMODULE));
    DWORD needed = 0;
    for (int round = 0; round < 2; ++round) {
        DWORD bytes = static_cast<DWORD>(modules.size() * sizeof(HMODULE));
        if (!EnumProcessModules(process, modules.data(), bytes, &needed)) return nullptr;
        if (needed <= bytes) break;
        modules.resize(needed / sizeof(HMODULE));
    }
    modules.resize(std::min<size_t>(modules.size(), needed / sizeof(HMODULE)));
    for (HMODULE m : modules)
        if (FARPROC p = GetProcAddress(m, kExportName)) return reinterpret_cast<ExecuteContext*>(p);
    return nullptr;
}

ExecuteContext* create() {
    if (ExecuteContext* shared = findExported()) {
        InterlockedIncrement(&shared->references);
        return shared;
    }
    static ExecuteContext own{};
    own.references = 1;
    own.cancelationSlot = TlsAlloc();
    bool debug = debugflag::query();
    for (int level = 0; level < 6; ++level) {
        own.switches[level] = level >= 2;
        own.switches[6 + level] = level >= 3 ? 1 : debug;
    }
    own.switches[12] = 0;
    return &own;
}

} // namespace

ExecuteContext& get() {
    static ExecuteContext* context = create();
    return *context;
}

} // namespace executecontext
