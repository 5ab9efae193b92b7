#include "TimeOfDay.h"

namespace kiv {

LocalTime LocalTimeOf(int year, int month, int day, int hour, int minute, int second, int millisecond)
{
    // Days from 1970-01-01 of a civil date: years counted from March, so that the leap day ends
    // the year; 146097 days in every 400 years.
    const long long y = year - (month <= 2 ? 1 : 0);
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yearOfEra = y - era * 400;
    const long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const long long days = era * 146097 + dayOfEra - 719468;
    return days * kDayMilliseconds + ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
}

}  // namespace kiv
