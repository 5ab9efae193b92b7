// Virtual time for the native tests: one clock and the deadlines of every kind of timer on it.
#pragma once

#include <algorithm>
#include <cstdint>

#include "Deadlines.h"

namespace kiv::test {

class VirtualTime {
public:
    std::uint64_t now = 0;
    Deadlines timers{[this] { return now; }};

    // Moves the clock to the first deadline due by until and fires it; false when none is.
    bool FireNext(std::uint64_t until)
    {
        const auto next = timers.Next();
        if (!next || *next > until)
            return false;
        now = std::max(now, *next);
        timers.FireOne();
        return true;
    }
    // Fires every timer due within ms, the clock moving to each deadline in turn; then the
    // clock stands ms later than it did (or where a handler moved it, if that is later).
    void RunFor(std::uint64_t ms)
    {
        const std::uint64_t until = now + ms;
        while (FireNext(until)) {
        }
        now = std::max(now, until);
    }
};

}  // namespace kiv::test
