// Whether start-up dials the control target when it is neither dialling nor connected.
#pragma once

#include "Settings.h"

namespace kiv {

// now is the time of day as a fraction of a day.
bool ShouldDialAtStartup(const TSettings& settings, double now);

}  // namespace kiv
