// The execute context shared by all modules of the process: reference count, the TLS slot of
// the cancellation chain and the 13-byte log switch block (bytes 0-5 console for levels 0-5,
// bytes 6-11 event log for levels 0-5, byte 12 "something was printed").
#pragma once
#include <windows.h>

struct ExecuteContext {
    LONG references;
    DWORD cancelationSlot;
    unsigned char switches[13];
};

namespace executecontext {

inline constexpr const char* kExportName = "m_ExecuteContext_4D93FADE_7B9E_4286_AE07_54AF471F7E22";

// The process's context: adopted from a module that exports it, otherwise created with the
// default switches (console 2-5, event log 3-5, event log 0-2 by the debug flag).
ExecuteContext& get();

} // namespace executecontext
