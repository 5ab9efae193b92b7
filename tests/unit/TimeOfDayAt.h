// A time of day as the clock port gives it, from hours, minutes and seconds: for the tests of the
// schedule and of the start-up window.
#pragma once

#include "TimeOfDay.h"

namespace kiv::test {

inline double At(int h, int m, int s = 0) { return TimeOfDayFromMilliseconds((h * 3600LL + m * 60 + s) * 1000); }

}  // namespace kiv::test
