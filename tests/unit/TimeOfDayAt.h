// A time of day as the clock port gives it, from hours, minutes and seconds: for the tests of the
// start-up window (the schedule's tests count local times, test::At in Fakes.h).
#pragma once

#include "TimeOfDay.h"

namespace kiv::test {

inline double TimeOfDayAt(int h, int m, int s = 0)
{
    return TimeOfDayFromMilliseconds((h * 3600LL + m * 60 + s) * 1000);
}

}  // namespace kiv::test
