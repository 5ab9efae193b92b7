// Times of day and local times. A time of day is a fraction of a day (noon is 0.5), computed in
// one division so that equal instants compare equal whichever unit they were counted in. A local
// time is the date and time the clock on the wall shows (its time zone and daylight saving
// included), as milliseconds since 1970-01-01 00:00 of that clock: a day is always 86,400,000 of
// them, so dates and times of day are plain arithmetic.
#pragma once

namespace kiv {

using LocalTime = long long;
inline constexpr long long kDayMilliseconds = 86400000;

inline double TimeOfDayFromMinutes(int minuteOfDay) { return minuteOfDay / 1440.0; }
inline double TimeOfDayFromMilliseconds(long long millisecondOfDay) { return millisecondOfDay / 86400000.0; }

// The day (0 is 1970-01-01) and the millisecond within it, for times before 1970 too.
inline long long DayOf(LocalTime t) { return t >= 0 ? t / kDayMilliseconds : -((-t - 1) / kDayMilliseconds) - 1; }
inline long long MillisecondOfDay(LocalTime t) { return t - DayOf(t) * kDayMilliseconds; }

// The local time of a calendar date (proleptic Gregorian) and time of day.
LocalTime LocalTimeOf(int year, int month, int day, int hour, int minute, int second, int millisecond);

}  // namespace kiv
