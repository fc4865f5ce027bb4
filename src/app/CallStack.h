// Call stacks of the debug mode: a per-thread recorder that captures the stack of the most
// recent exception raised on its thread (a vectored handler that never handles anything).
#pragma once
#include <string>

#include <windows.h>

namespace RunTime {

class CallStack {
public:
    virtual ~CallStack() = default;
    // One line per frame, each ending in "\n".
    const std::wstring& text() const { return stack_; }

protected:
    std::wstring stack_;
};

} // namespace RunTime

// While one lives on a thread, exceptions raised there are not recorded: the guarded blocks
// re-raise a failure with more context, and the stack worth keeping is the original one.
class CallStackSuspension {
public:
    CallStackSuspension();
    ~CallStackSuspension();
    CallStackSuspension(const CallStackSuspension&) = delete;
    CallStackSuspension& operator=(const CallStackSuspension&) = delete;
};

class VectoredException : public RunTime::CallStack {
public:
    VectoredException();
    ~VectoredException() override;
    VectoredException(const VectoredException&) = delete;
    VectoredException& operator=(const VectoredException&) = delete;

    void capture(const CONTEXT& context);

private:
    int reentry_ = 0;
    friend LONG CALLBACK recordException(EXCEPTION_POINTERS*);
};
