#include "Schedule.h"

#include "MainUnit.h"
#include "TimeOfDay.h"
#include "StatusTexts.h"

namespace kiv {

namespace {

constexpr long long kDayMilliseconds = 86400000;
constexpr long long kWarningLeadMilliseconds = 10000;

}  // namespace

ScheduleTimes ComputeScheduleTimes(const TSettings& s)
{
    const long long end = ScheduleMinuteOfDay(s, &TSettings::AutoEndHour, &TSettings::AutoEndMinute) * 60000LL;
    return {ScheduleTimeOfDay(s, &TSettings::AutoStartHour, &TSettings::AutoStartMinute), TimeOfDayFromMilliseconds(end),
            TimeOfDayFromMilliseconds((end - kWarningLeadMilliseconds + kDayMilliseconds) % kDayMilliseconds)};
}

bool ScheduleTimeReached(double now, double previous, double at)
{
    return (now > previous && previous < at && now >= at) || (now < previous && now >= at);
}

void TMainForm::tmScheduleTimer()
{
    // The hang-ups below process messages, so a later tick can start inside this one; it must
    // not act on the same crossing again.
    if (scheduleRunning_)
        return;
    scheduleRunning_ = true;
    RemoteConsoles.Expire(ports_.Clock.TickCount());

    const ScheduleTimes times = ComputeScheduleTimes(Settings);
    const double now = ports_.Clock.TimeOfDay();
    const double previous = LastScheduleTick;

    if (Settings.AutoStart && ScheduleTimeReached(now, previous, times.Start)) {
        const int index = TargetEntryIndex();
        if (index != -1 && ports_.Ras.EntryState(index) == kEntryIdle) {
            ConnectRequested = true;
            RedialDone = 0;
            ports_.Ras.Dial(index);
            ShowStatus(kStatusScheduleDialStarted);
        }
    } else if (Settings.AutoEnd && ScheduleTimeReached(now, previous, times.Warning)) {
        const int state = ports_.Ras.EntryStateByName(Settings.Target);
        if (state == kEntryDialling || state == kEntryConnected)
            ShowStatus(Settings.AutoDisconnectTimeReset ? kStatusScheduleWarningShutdown : kStatusScheduleWarning);
    } else if (Settings.AutoEnd && ScheduleTimeReached(now, previous, times.End)) {
        ScheduledDisconnect();
    } else {
        KeepAliveCheck();
    }

    LastScheduleTick = ports_.Clock.TimeOfDay();
    scheduleRunning_ = false;
}

void TMainForm::ScheduledDisconnect()
{
    const int index = TargetEntryIndex();
    if (index == -1)
        return;
    if (SkipAutoDisconnect) {
        SkipAutoDisconnect = false;
        return;
    }
    auto disconnected = [this] {
        ShowStatus(kStatusScheduleDisconnected);
        if (Settings.AutoDisconnectTimeReset)
            ShutdownWindows();
    };
    if (ports_.Ras.EntryState(index) == kEntryDialling) {
        CancelRequested = true;
        if (ports_.Ras.CancelDial()) {
            // ConnectRequested is cleared by RasConnectError when the cancel arrives.
            ShowStatus(kStatusScheduleDialCancelled);
            if (Settings.AutoDisconnectTimeReset)
                ShutdownWindows();
        } else {
            CancelRequested = false;
            ConnectRequested = false;
            if (HangUpTarget(nullptr))
                disconnected();
        }
    }
    // A dial that completed meanwhile is hung up too.
    if (ports_.Ras.EntryState(index) == kEntryConnected) {
        ConnectRequested = false;
        if (HangUpTarget(nullptr))
            disconnected();
    }
}

}  // namespace kiv
