#include "StartupDial.h"


namespace kiv {

bool ShouldDialAtStartup(const TSettings& s, double now)
{
    if (!s.AutoConnectRun)
        return false;
    if (!(s.AutoConnectRunTime && s.AutoStart && s.AutoEnd))
        return true;
    const double start = ScheduleTimeOfDay(s, &TSettings::AutoStartHour, &TSettings::AutoStartMinute);
    const double end = ScheduleTimeOfDay(s, &TSettings::AutoEndHour, &TSettings::AutoEndMinute);
    if (start < end)
        return start < now && now < end;
    if (start > end)  // the window crosses midnight
        return now > start || now < end;
    return false;
}

}  // namespace kiv
