#include "Schedule.h"

#include <algorithm>
#include <cstdio>

#include "LogTexts.h"
#include "MainUnit.h"
#include "TimeOfDay.h"
#include "StatusTexts.h"

namespace kiv {

namespace {

// A gap between ticks: more than this beyond the second they are apart.
constexpr long long kGapMs = 2000;
// Acted occurrences kept per step: enough for a clock set back over a few days.
constexpr std::size_t kDoneKept = 8;

// The latest occurrence of the time of day at or before now.
LocalTime LatestOccurrence(LocalTime now, long long timeOfDay)
{
    const LocalTime today = DayOf(now) * kDayMilliseconds + timeOfDay;
    return today <= now ? today : today - kDayMilliseconds;
}

const char* StepName(ScheduleStep step)
{
    switch (step) {
    case ScheduleStep::Connect: return "予定の接続";
    case ScheduleStep::Warning: return "切断の予告";
    case ScheduleStep::Disconnect: return "予定の切断";
    case ScheduleStep::None: break;
    }
    return "";
}

const char* CauseText(ScheduleLateCause cause)
{
    switch (cause) {
    case ScheduleLateCause::Resumed: return "コンピュータがスリープしていたため";
    case ScheduleLateCause::ClockChanged: return "時計が進められたため";
    case ScheduleLateCause::NotRunning: return "Kivが動いていなかったため（スリープか一時停止）";
    case ScheduleLateCause::None: break;
    }
    return "理由は不明";
}

std::string ClockText(LocalTime t)
{
    const long long ms = MillisecondOfDay(t);
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60);
    return text;
}

// A delay in whole seconds, minutes or hours and minutes.
std::string DelayText(long long ms)
{
    const long long s = ms / 1000;
    char text[48];
    if (s < 120)
        std::snprintf(text, sizeof text, "%lld秒", s);
    else if (s < 7200)
        std::snprintf(text, sizeof text, "%lld分", s / 60);
    else
        std::snprintf(text, sizeof text, "%lld時間%lld分", s / 3600, s / 60 % 60);
    return text;
}

}  // namespace

std::vector<std::string> ScheduleNotes(const ScheduleDecision& d, bool acted)
{
    std::vector<std::string> notes;
    if (acted && d.Step != ScheduleStep::None && d.Late())
        notes.push_back(std::string(StepName(d.Step)) + "（" + ClockText(d.Due) + "）を" + DelayText(d.LateMs) +
                        "遅れて行いました。" + CauseText(d.Cause) + "です。");
    if (d.Skipped != ScheduleStep::None)
        notes.push_back(std::string(StepName(d.Skipped)) + "（" + ClockText(d.SkippedDue) + "）は行いませんでした。" +
                        "その後の" + StepName(d.Step == ScheduleStep::Warning ? ScheduleStep::Disconnect : d.Step) +
                        "（" + ClockText(d.Step == ScheduleStep::Warning ? d.Due + kScheduleWarningLeadMs : d.Due) +
                        "）も過ぎていたためです。");
    return notes;
}

ScheduleTimes ComputeScheduleTimes(const TSettings& s)
{
    const long long end = ScheduleMinuteOfDay(s, &TSettings::AutoEndHour, &TSettings::AutoEndMinute) * 60000LL;
    return {ScheduleMinuteOfDay(s, &TSettings::AutoStartHour, &TSettings::AutoStartMinute) * 60000LL, end,
            (end - kScheduleWarningLeadMs + kDayMilliseconds) % kDayMilliseconds, s.AutoStart, s.AutoEnd};
}

void ScheduleKeeper::Restart(LocalTime now, std::uint32_t tick)
{
    notBefore_ = now;
    previousNow_ = now;
    previousTick_ = tick;
    resumed_ = clockChanged_ = false;
}

bool ScheduleKeeper::Done(ScheduleStep step, LocalTime due) const
{
    const auto& done = done_[static_cast<int>(step)];
    return std::find(done.begin(), done.end(), due) != done.end();
}

void ScheduleKeeper::MarkDone(ScheduleStep step, LocalTime due)
{
    auto& done = done_[static_cast<int>(step)];
    done.push_back(due);
    if (done.size() > kDoneKept)
        done.erase(done.begin());
}

std::optional<LocalTime> ScheduleKeeper::DueOccurrence(ScheduleStep step, bool on, long long timeOfDay,
                                                       LocalTime now) const
{
    const LocalTime at = LatestOccurrence(now, timeOfDay);
    if (!on || at <= notBefore_ || Done(step, at))
        return std::nullopt;
    return at;
}

ScheduleDecision ScheduleKeeper::Tick(const ScheduleTimes& times, LocalTime now, std::uint32_t tick)
{
    // What kind of gap lies behind this tick, if any.
    const long long wallGap = now - previousNow_;
    const long long tickGap = static_cast<std::uint32_t>(tick - previousTick_);
    ScheduleLateCause gap = ScheduleLateCause::NotRunning;
    if (resumed_)
        gap = ScheduleLateCause::Resumed;
    else if (clockChanged_ || wallGap - tickGap > kGapMs)
        gap = ScheduleLateCause::ClockChanged;
    // Set back: what the clock shows from now on may come again, but what acted does not.
    if (now < previousNow_ && now < notBefore_)
        notBefore_ = now;
    previousNow_ = now;
    previousTick_ = tick;
    resumed_ = clockChanged_ = false;

    const auto decided = [&](ScheduleStep step, LocalTime due, ScheduleLateCause cause) {
        ScheduleDecision d{step, due, now - due};
        if (d.Late())
            d.Cause = cause;
        MarkDone(step, due);
        return d;
    };

    if (held_) {
        // The held disconnect still stands while its end time and switch do.
        if (!times.Disconnect || LatestOccurrence(now, times.End) != held_->Due) {
            held_.reset();
        } else if (static_cast<std::uint32_t>(tick - held_->Since) >= kScheduleWarningLeadMs) {
            const Held held = *held_;
            held_.reset();
            return decided(ScheduleStep::Disconnect, held.Due, held.Cause);
        } else {
            return {};
        }
    }

    auto start = DueOccurrence(ScheduleStep::Connect, times.Connect, times.Start, now);
    auto end = DueOccurrence(ScheduleStep::Disconnect, times.Disconnect, times.End, now);
    auto warning = DueOccurrence(ScheduleStep::Warning, times.Disconnect, times.Warning, now);
    ScheduleStep skipped = ScheduleStep::None;
    LocalTime skippedDue = 0;
    // Both passed in one gap: the later decides, the earlier is left.
    if (start && end) {
        if (*start > *end) {
            skipped = ScheduleStep::Disconnect;
            skippedDue = *end;
            MarkDone(ScheduleStep::Disconnect, *end);
            if (warning && *warning + kScheduleWarningLeadMs == *end) {
                MarkDone(ScheduleStep::Warning, *warning);
                warning.reset();
            }
            end.reset();
        } else {
            skipped = ScheduleStep::Connect;
            skippedDue = *start;
            MarkDone(ScheduleStep::Connect, *start);
            start.reset();
        }
    }
    ScheduleDecision d;
    if (start) {
        d = decided(ScheduleStep::Connect, *start, gap);
    } else if (warning) {
        d = decided(ScheduleStep::Warning, *warning, gap);
        // Its end time passed in the same gap: the disconnect follows the warning's ten seconds.
        if (end && *warning + kScheduleWarningLeadMs == *end)
            held_ = Held{*end, tick, gap};
    } else if (end) {
        d = decided(ScheduleStep::Disconnect, *end, gap);
    }
    d.Skipped = skipped;
    d.SkippedDue = skippedDue;
    return d;
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

    const ScheduleDecision decision =
        Schedule.Tick(ComputeScheduleTimes(Settings), ports_.Clock.LocalNow(), ports_.Clock.TickCount());
    // Whether the step applies to the line as it is: the log says a late step was taken only then.
    const auto busy = [](int state) { return state == kEntryDialling || state == kEntryConnected; };
    int index = -1;
    bool acts = false;
    switch (decision.Step) {
    case ScheduleStep::Connect:
        index = TargetEntryIndex();
        acts = index != -1 && ports_.Ras.EntryState(index) == kEntryIdle;
        break;
    case ScheduleStep::Warning: acts = busy(ports_.Ras.EntryStateByName(Settings.Target)); break;
    case ScheduleStep::Disconnect:
        index = TargetEntryIndex();
        acts = index != -1 && busy(ports_.Ras.EntryState(index)) && !SkipAutoDisconnect;
        break;
    case ScheduleStep::None: break;
    }
    for (const std::string& note : ScheduleNotes(decision, acts))
        Log(kLogSchedule, note);
    switch (decision.Step) {
    case ScheduleStep::Connect: {
        const std::string at =
            "開始時刻 " + ScheduleClockText(Settings, &TSettings::AutoStartHour, &TSettings::AutoStartMinute) + ": ";
        if (index == -1) {
            Log(kLogSchedule, at + "制御対象がないので、ダイヤルしません。");
        } else if (!acts) {
            Log(kLogSchedule, at + "「" + Settings.Target + "」はダイヤル中か接続中です。");
        } else {
            Log(kLogSchedule, at + "「" + Settings.Target + "」へダイヤルします。");
            ConnectRequested = true;
            RedialDone = 0;
            // A refused dial is logged, and the message is shown all the same.
            DialTarget(index, kDialBySchedule);
            ShowStatus(kStatusScheduleDialStarted);
        }
        break;
    }
    case ScheduleStep::Warning: {
        if (acts) {
            Log(kLogSchedule, "終了時刻 " +
                                  ScheduleClockText(Settings, &TSettings::AutoEndHour, &TSettings::AutoEndMinute) +
                                  " の10秒前: 「" + Settings.Target + "」の切断を予告します。");
            ShowStatus(Settings.AutoDisconnectTimeReset ? kStatusScheduleWarningShutdown : kStatusScheduleWarning);
        }
        break;
    }
    case ScheduleStep::Disconnect: ScheduledDisconnect(); break;
    case ScheduleStep::None: KeepAliveCheck(); break;
    }
}

void TMainForm::PowerResumed()
{
    // The line may have dropped while the computer slept, and scheduled times may have passed:
    // the tick looks at both now.
    Log(kLogSystem, kLogResumed);
    Schedule.Resumed();
    if (ports_.tmSchedule.Enabled())
        tmScheduleTimer();
}

void TMainForm::ClockChanged()
{
    Log(kLogSystem, kLogClockChanged);
    Schedule.ClockChanged();
    if (ports_.tmSchedule.Enabled())
        tmScheduleTimer();
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
