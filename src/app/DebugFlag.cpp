#include "app/DebugFlag.h"

#include "app/Registry.h"

#include <atomic>

namespace debugflag {
namespace {
std::atomic<unsigned> queries{0};
std::atomic<bool> lastValue{false};
} // namespace

bool query() {
    if (queries++ % 16 == 0) {
        try {
            auto v = config::readDword(L"Debug");
            lastValue = v && *v != 0;
            if (!v) return false;
        } catch (...) {
            // Only this query answers off: the value read before stays in force for the next.
            return false;
        }
    }
    return lastValue;
}

void reset() {
    queries = 0;
    lastValue = false;
}

} // namespace debugflag
