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
