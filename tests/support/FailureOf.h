// The exception a call raises, for assertions on its class, message and contexts.
#pragma once
#include "app/Exceptions.h"

#include <stdexcept>

namespace testsupport {

template <class E = vexception, class F> E failureOf(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e;
    }
    throw std::logic_error("no failure of the expected class");
}

} // namespace testsupport
