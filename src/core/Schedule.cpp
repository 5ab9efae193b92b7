#include "Schedule.h"

#include "LogTexts.h"
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

bool TMainForm::ShutdownWindows()
{
    Log(kLogSchedule, kLogShutdownRequested);
    const bool accepted = ports_.Shutdown.ShutdownWindows();
    Log(kLogSchedule, accepted ? kLogShutdownAccepted : kLogShutdownRefused);
    return accepted;
}

void TMainForm::tmScheduleTimer()
{
    if (settingsWaiting_) {
        SettingsRetry();
        return;
    }
    RemoteConsoles.Expire(ports_.Clock.TickCount());
    WatchLine();

    const ScheduleTimes times = ComputeScheduleTimes(Settings);
    const double now = ports_.Clock.TimeOfDay();
    const double previous = LastScheduleTick;

    if (Settings.AutoStart && ScheduleTimeReached(now, previous, times.Start)) {
        const int index = TargetEntryIndex();
        const std::string at = ScheduleClockText(Settings, &TSettings::AutoStartHour, &TSettings::AutoStartMinute);
        if (index == -1) {
            Log(kLogSchedule, "開始時刻 " + at + ": 制御対象がないので、ダイヤルしません。");
        } else if (ports_.Ras.EntryState(index) != kEntryIdle) {
            Log(kLogSchedule, "開始時刻 " + at + ": 「" + Settings.Target + "」はダイヤル中か接続中です。");
        } else {
            Log(kLogSchedule, "開始時刻 " + at + ": 「" + Settings.Target + "」へダイヤルします。");
            ConnectRequested = true;
            RedialDone = 0;
            // A refused dial is logged, and the message is shown all the same.
            DialTarget(index, kDialBySchedule);
            ShowStatus(kStatusScheduleDialStarted);
        }
    } else if (Settings.AutoEnd && ScheduleTimeReached(now, previous, times.Warning)) {
        const int state = ports_.Ras.EntryStateByName(Settings.Target);
        if (state == kEntryDialling || state == kEntryConnected) {
            Log(kLogSchedule, "終了時刻 " +
                                  ScheduleClockText(Settings, &TSettings::AutoEndHour, &TSettings::AutoEndMinute) +
                                  " の10秒前: 「" + Settings.Target + "」の切断を予告します。");
            ShowStatus(Settings.AutoDisconnectTimeReset ? kStatusScheduleWarningShutdown : kStatusScheduleWarning);
        }
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
    const std::string at =
        "終了時刻 " + ScheduleClockText(Settings, &TSettings::AutoEndHour, &TSettings::AutoEndMinute) + ": ";
    if (index == -1) {
        Log(kLogSchedule, at + "制御対象がないので、切断しません。");
        return;
    }
    if (SkipAutoDisconnect) {
        SkipAutoDisconnect = false;
        Log(kLogSchedule, at + "自動切断は取り消されているので、「" + Settings.Target + "」を切断しません。");
        return;
    }
    const int state = ports_.Ras.EntryState(index);
    if (state == kEntryDialling || state == kEntryConnected)
        Log(kLogSchedule, at + "「" + Settings.Target + "」を切断します。");
    else
        Log(kLogSchedule, at + "「" + Settings.Target + "」は接続されていません。");
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
