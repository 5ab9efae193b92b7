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
    if (ports_.Ras.EntryState(index) != kEntryDialling) {
        ScheduledHangUpIfConnected(index);
        return;
    }
    CancelRequested = true;
    // ConnectRequested is cleared by RasConnectError when the cancel arrives.
    if (ports_.Ras.CancelDial([this, index] { ScheduledCancelDone(index); }))
        return;
    CancelRequested = false;
    ConnectRequested = false;
    HangUpTarget({}, [this, index](bool hungUp) {
        if (hungUp)
            ScheduledDisconnected();
        ScheduledHangUpIfConnected(index);
    });
}

void TMainForm::ScheduledCancelDone(int index)
{
    ShowStatus(kStatusScheduleDialCancelled);
    if (Settings.AutoDisconnectTimeReset)
        ShutdownWindows();
    ScheduledHangUpIfConnected(index);
}

void TMainForm::ScheduledHangUpIfConnected(int index)
{
    // A dial that completed meanwhile is hung up too.
    if (ports_.Ras.EntryState(index) != kEntryConnected)
        return;
    ConnectRequested = false;
    HangUpTarget({}, [this](bool hungUp) {
        if (hungUp)
            ScheduledDisconnected();
    });
}

void TMainForm::ScheduledDisconnected()
{
    ShowStatus(kStatusScheduleDisconnected);
    if (Settings.AutoDisconnectTimeReset)
        ShutdownWindows();
}

}  // namespace kiv
