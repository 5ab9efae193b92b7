// Ranges of the settings where they are used. Kiv.INI may be edited by hand; its values are
// kept as read (the options dialog shows them and asks for valid ones) and brought into range
// only at the place that needs a valid value, so no hand-edited value can stop start-up, the
// schedule or the status window.
#pragma once

#include <algorithm>

namespace kiv {

inline int ClampSetting(int value, int lowest, int highest) { return std::clamp(value, lowest, highest); }

// Minutes since midnight of an hour and minute setting, each clamped into 0..23 and 0..59.
inline int ScheduleMinuteOfDay(int hour, int minute)
{
    return ClampSetting(hour, 0, 23) * 60 + ClampSetting(minute, 0, 59);
}

// Time of day as a fraction of a day, computed in one division so that equal instants compare
// equal whichever unit they were counted in.
inline double TimeOfDayFromMinutes(int minuteOfDay) { return minuteOfDay / 1440.0; }
inline double TimeOfDayFromMilliseconds(long long millisecondOfDay) { return millisecondOfDay / 86400000.0; }

inline double ScheduleTimeOfDay(int hour, int minute)
{
    return TimeOfDayFromMinutes(ScheduleMinuteOfDay(hour, minute));
}

// 0 (not shown) .. 4 (bottom right).
inline int StatusLocateInRange(int value) { return ClampSetting(value, 0, 4); }
// 1 .. 255 (opaque).
inline int StatusAlphaInRange(int value) { return ClampSetting(value, 1, 255); }
// Seconds before a redial: 1 .. 999.
inline int RedialIntervalInRange(int value) { return ClampSetting(value, 1, 999); }

// KestrelMesh's port unless the settings give another.
inline constexpr int kKestrelDefaultPort = 51000;

// The manual KestrelMesh port applies only within 1024..65535; outside it the component keeps
// its own port.
inline bool KestrelPortUsable(int port) { return port >= 1024 && port <= 65535; }

}  // namespace kiv
