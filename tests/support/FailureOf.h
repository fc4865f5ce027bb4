// The exception a call raises, for assertions on its class and message.
#pragma once
#include <stdexcept>

namespace testsupport {

template <class E, class F> E failureOf(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e;
    }
    throw std::logic_error("no failure of the expected class");
}

} // namespace testsupport
