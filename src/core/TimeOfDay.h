// A time of day as a fraction of a day (noon is 0.5), computed in one division so that equal
// instants compare equal whichever unit they were counted in.
#pragma once

namespace kiv {

inline double TimeOfDayFromMinutes(int minuteOfDay) { return minuteOfDay / 1440.0; }
inline double TimeOfDayFromMilliseconds(long long millisecondOfDay) { return millisecondOfDay / 86400000.0; }

}  // namespace kiv
