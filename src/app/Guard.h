// Guarded blocks: a cancellation point and the structured-exception translator around a body;
// whatever leaves the body leaves as a vexception that carries the block's context.
#pragma once
#include "app/Exceptions.h"

#include <comdef.h>

namespace ThreadCancelation {

// A record on the stack around each guarded call, linked into the thread's chain.
class CancelationPoint {
public:
    explicit CancelationPoint(int kind = 0, int flags = 0);
    ~CancelationPoint();
    CancelationPoint(const CancelationPoint&) = delete;
    CancelationPoint& operator=(const CancelationPoint&) = delete;

    CancelationPoint* previous() const { return previous_; }
    static CancelationPoint* current();

private:
    CancelationPoint* previous_;
    int kind_;
    int flags_;
};

} // namespace ThreadCancelation

// Installs the process's last-chance filter for structured exceptions (once): inside a guarded
// block an unhandled one continues as a cwrpexception; elsewhere it is logged and the process
// ends with exit code 1.
void installOutermostExceptionFilter();

// While one of these lives on a thread, hardware exceptions raised by the program's own code
// on that thread are thrown as cwrpexception; other structured exceptions that no frame handles
// reach the outermost filter, which throws them as cwrpexception too.
class SehTranslatorScope {
public:
    SehTranslatorScope();
    ~SehTranslatorScope();
    SehTranslatorScope(const SehTranslatorScope&) = delete;
    SehTranslatorScope& operator=(const SehTranslatorScope&) = delete;
};

// Converts the exception being handled (inside a catch) into a vexception with the context
// added, and throws it. vexceptions keep their class.
[[noreturn]] void rethrowWithContext(ErrorContext context);

template <class F> auto guarded(ErrorContext context, F&& body) -> decltype(body()) {
    ThreadCancelation::CancelationPoint point;
    SehTranslatorScope translator;
    try {
        return body();
    } catch (...) {
        rethrowWithContext(std::move(context));
    }
}
