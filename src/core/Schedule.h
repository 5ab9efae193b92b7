// The daily schedule's times of day and when a tick has reached one.
#pragma once

#include "Settings.h"

namespace kiv {

struct ScheduleTimes {
    double Start;    // S: the scheduled connect
    double End;      // E: the scheduled disconnect
    double Warning;  // W: ten seconds before E, within the same day cycle
};

ScheduleTimes ComputeScheduleTimes(const TSettings& settings);

// A tick from previous to now reaches at when the clock moved forward across it, or when the
// day rolled over (or the clock was set back) and it lies at or before now.
bool ScheduleTimeReached(double now, double previous, double at);

}  // namespace kiv
