#include "Schedule.h"

#include <gtest/gtest.h>

#include "Fakes.h"
#include "LogTexts.h"
#include "TimeOfDay.h"
#include "StatusTexts.h"
#include "TextHelpers.h"

namespace kiv {
namespace {

using test::At;

TEST(ComputeScheduleTimes, WarningTenSecondsBeforeTheEndWithinTheDay)
{
    TSettings s;
    s.AutoEndHour = 0;
    s.AutoEndMinute = 0;
    EXPECT_EQ(ComputeScheduleTimes(s).Warning, 86390000);  // 23:59:50
    s.AutoEndHour = 7;
    s.AutoEndMinute = 59;
    s.AutoEnd = true;
    const ScheduleTimes t = ComputeScheduleTimes(s);
    EXPECT_EQ(t.Warning, (7 * 3600 + 58 * 60 + 50) * 1000LL);
    EXPECT_EQ(t.End, (7 * 3600 + 59 * 60) * 1000LL);
    EXPECT_TRUE(t.Disconnect);
    EXPECT_FALSE(t.Connect);
}

TEST(LocalTime, CalendarDatesAndDays)
{
    EXPECT_EQ(LocalTimeOf(1970, 1, 1, 0, 0, 0, 0), 0);
    EXPECT_EQ(LocalTimeOf(2024, 10, 5, 12, 0, 0, 0), At(12, 0));
    EXPECT_EQ(LocalTimeOf(2024, 3, 1, 0, 0, 0, 0) - LocalTimeOf(2024, 2, 28, 0, 0, 0, 0), 2 * kDayMilliseconds);
    EXPECT_EQ(LocalTimeOf(2100, 3, 1, 0, 0, 0, 0) - LocalTimeOf(2100, 2, 28, 0, 0, 0, 0), kDayMilliseconds);
    EXPECT_EQ(LocalTimeOf(2025, 1, 1, 0, 0, 0, 0) - LocalTimeOf(2024, 12, 31, 23, 59, 59, 999), 1);
    EXPECT_EQ(DayOf(-1), -1);
    EXPECT_EQ(MillisecondOfDay(-1), kDayMilliseconds - 1);
    EXPECT_EQ(MillisecondOfDay(At(7, 59, 30, 3)), (7 * 3600 + 59 * 60 + 30) * 1000LL);
}

TEST(ScheduleNotes, SayWhatCameLateAndWhyAndWhatWasLeft)
{
    struct Case {
        ScheduleDecision decision;
        std::vector<std::string> notes;
    };
    const Case cases[] = {
        {{ScheduleStep::Disconnect, At(7, 59), 2999, ScheduleLateCause::None}, {}},
        {{ScheduleStep::Disconnect, At(7, 59), 30000, ScheduleLateCause::Resumed},
         {"予定の切断（07:59:00）を30秒遅れて行いました。コンピュータがスリープしていたためです。"}},
        {{ScheduleStep::Connect, At(23, 59), 80500, ScheduleLateCause::ClockChanged},
         {"予定の接続（23:59:00）を80秒遅れて行いました。時計が進められたためです。"}},
        {{ScheduleStep::Warning, At(7, 58, 50), 600000, ScheduleLateCause::NotRunning, ScheduleStep::Connect,
          At(23, 59, 0, -1)},
         {"切断の予告（07:58:50）を10分遅れて行いました。Kivが動いていなかったため（スリープか一時停止）です。",
          "予定の接続（23:59:00）は行いませんでした。その後の予定の切断（07:59:00）も過ぎていたためです。"}},
        {{ScheduleStep::Connect, At(23, 59), 16 * 3600000LL + 60000, ScheduleLateCause::Resumed,
          ScheduleStep::Disconnect, At(7, 59)},
         {"予定の接続（23:59:00）を16時間1分遅れて行いました。コンピュータがスリープしていたためです。",
          "予定の切断（07:59:00）は行いませんでした。その後の予定の接続（23:59:00）も過ぎていたためです。"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScheduleNotes(c.decision, true), c.notes) << c.decision.LateMs;
    // A late step the line's state left nothing to do for is not said to have been taken; the
    // time a gap left still is.
    EXPECT_TRUE(ScheduleNotes(cases[1].decision, false).empty());
    EXPECT_EQ(ScheduleNotes(cases[3].decision, false), std::vector<std::string>{cases[3].notes[1]});
}

// The keeper alone, on a clock that runs with the tick count unless a test moves one of them.
struct KeeperRun {
    KeeperRun()
    {
        times.Start = (23 * 3600 + 59 * 60) * 1000LL;  // 23:59
        times.End = (7 * 3600 + 59 * 60) * 1000LL;     // 07:59
        times.Warning = times.End - kScheduleWarningLeadMs;
        times.Connect = times.Disconnect = true;
    }
    void StartAt(LocalTime t)
    {
        now = t;
        keeper.Restart(now, tick);
    }
    // Time runs (the program ticking, or a sleep: the tick count runs on in both) to t.
    ScheduleDecision RunTo(LocalTime t)
    {
        tick += static_cast<std::uint32_t>(t - now);
        now = t;
        return keeper.Tick(times, now, tick);
    }
    // The clock is set to t; the tick count goes on by a second.
    ScheduleDecision SetClockTo(LocalTime t)
    {
        tick += 1000;
        now = t;
        return keeper.Tick(times, now, tick);
    }
    // One tick a second from the current time to t: the steps decided on the way.
    std::vector<ScheduleDecision> TickTo(LocalTime t)
    {
        std::vector<ScheduleDecision> steps;
        while (now < t)
            if (const auto d = RunTo(now + 1000); d.Step != ScheduleStep::None)
                steps.push_back(d);
        return steps;
    }

    ScheduleTimes times;
    ScheduleKeeper keeper;
    LocalTime now = 0;
    std::uint32_t tick = 0xFFFF0000u;  // wraps on the way
};

class Keeper : public ::testing::Test, protected KeeperRun {};

using Step = ScheduleStep;
using Cause = ScheduleLateCause;

TEST_F(Keeper, EachTimeOnItsSecondOnceADay)
{
    StartAt(At(7, 58, 0));
    const auto steps = TickTo(At(7, 59, 0, 1));
    ASSERT_EQ(steps.size(), 5u);
    EXPECT_EQ(steps[0], (ScheduleDecision{Step::Warning, At(7, 58, 50)}));
    EXPECT_EQ(steps[1], (ScheduleDecision{Step::Disconnect, At(7, 59, 0)}));
    EXPECT_EQ(steps[2], (ScheduleDecision{Step::Connect, At(23, 59, 0)}));
    EXPECT_EQ(steps[3], (ScheduleDecision{Step::Warning, At(7, 58, 50, 1)}));
    EXPECT_EQ(steps[4], (ScheduleDecision{Step::Disconnect, At(7, 59, 0, 1)}));
}

TEST_F(Keeper, SleepOverTheEndTimeWarnsThenDisconnectsTenSecondsLater)
{
    StartAt(At(7, 58, 19));
    keeper.Resumed();
    const ScheduleDecision warning = RunTo(At(7, 59, 20));  // asleep 40 s before to 20 s after
    EXPECT_EQ(warning, (ScheduleDecision{Step::Warning, At(7, 58, 50), 30000, Cause::Resumed}));
    for (int s = 21; s < 30; ++s)
        EXPECT_EQ(RunTo(At(7, 59, s)).Step, Step::None) << s;
    EXPECT_EQ(RunTo(At(7, 59, 30)), (ScheduleDecision{Step::Disconnect, At(7, 59, 0), 30000, Cause::Resumed}));
    times.Connect = false;
    EXPECT_TRUE(TickTo(At(7, 58, 49, 1)).empty());
}

TEST_F(Keeper, AGapSaysWhyItWasLate)
{
    struct Case {
        const char* what;
        bool resumed, clockNotice;
        bool ticksRanOn;  // the tick count ran on with the clock (a sleep or a held program)
        Cause cause;
    };
    const Case cases[] = {
        {"a sleep the system reported", true, false, true, Cause::Resumed},
        {"a sleep not reported, or the program held", false, false, true, Cause::NotRunning},
        {"the clock set forward, reported", false, true, false, Cause::ClockChanged},
        {"the clock set forward, not reported", false, false, false, Cause::ClockChanged},
    };
    for (const Case& c : cases) {
        KeeperRun k;
        k.times.Disconnect = false;
        k.StartAt(At(23, 58, 10));
        if (c.resumed)
            k.keeper.Resumed();
        if (c.clockNotice)
            k.keeper.ClockChanged();
        const ScheduleDecision d = c.ticksRanOn ? k.RunTo(At(23, 58, 55)) : k.SetClockTo(At(23, 58, 55));
        EXPECT_EQ(d.Step, Step::None) << c.what << ": nothing passed";
        if (c.resumed)
            k.keeper.Resumed();
        if (c.clockNotice)
            k.keeper.ClockChanged();
        const ScheduleDecision late = c.ticksRanOn ? k.RunTo(At(0, 0, 20, 1)) : k.SetClockTo(At(0, 0, 20, 1));
        EXPECT_EQ(late, (ScheduleDecision{Step::Connect, At(23, 59, 0), 80000, c.cause})) << c.what;
        EXPECT_TRUE(k.TickTo(At(23, 58, 59, 1)).empty()) << c.what << ": once";
    }
}

// After a gap the latest of the scheduled times passed decides; the other is left, and said.
TEST_F(Keeper, TheLaterTimeOfAGapDecides)
{
    // Asleep from before the start time to after the end time: the window has closed.
    StartAt(At(23, 58, 10));
    ScheduleDecision d = RunTo(At(8, 0, 0, 1));
    EXPECT_EQ(d.Step, Step::Warning);
    EXPECT_EQ(d.Skipped, Step::Connect);
    EXPECT_EQ(d.SkippedDue, At(23, 59, 0));
    EXPECT_EQ(RunTo(At(8, 0, 10, 1)).Step, Step::Disconnect);
    EXPECT_TRUE(TickTo(At(23, 58, 59, 1)).empty());

    // Asleep from before the end time to after the start time: connected once, no disconnect.
    KeeperRun k;
    k.StartAt(At(7, 50, 0));
    d = k.RunTo(At(0, 0, 20, 1));
    EXPECT_EQ(d.Step, Step::Connect);
    EXPECT_EQ(d.Skipped, Step::Disconnect);
    EXPECT_EQ(d.SkippedDue, At(7, 59, 0));
    EXPECT_TRUE(k.TickTo(At(7, 58, 49, 1)).empty());
}

TEST_F(Keeper, AClockSetBackRepeatsNothing)
{
    StartAt(At(7, 58, 0));
    ASSERT_EQ(TickTo(At(10, 0, 0)).size(), 2u);  // warning, disconnect
    EXPECT_EQ(SetClockTo(At(7, 30, 0)).Step, Step::None);
    EXPECT_TRUE(TickTo(At(10, 0, 0)).empty()) << "07:58:50 and 07:59 acted already";
    // Daylight saving ends: 02:59:59 is followed by 02:00 again; 02:30 acts once.
    times.End = (2 * 3600 + 30 * 60) * 1000LL;
    times.Warning = times.End - kScheduleWarningLeadMs;
    times.Connect = false;
    StartAt(At(1, 0, 0, 1));
    EXPECT_EQ(TickTo(At(2, 59, 59, 1)).size(), 2u);
    SetClockTo(At(2, 0, 0, 1));
    EXPECT_TRUE(TickTo(At(3, 30, 0, 1)).empty());
}

// A clock that was days ahead and is put right: the real days' times act as they come, none
// at once.
TEST_F(Keeper, AClockPutRightFromDaysAheadGoesOn)
{
    times.Disconnect = false;
    StartAt(At(12, 0, 0, 3));
    ASSERT_EQ(TickTo(At(0, 0, 0, 4)).size(), 1u);  // the connect of day 3
    EXPECT_EQ(SetClockTo(At(12, 0, 0)).Step, Step::None);
    const auto steps = TickTo(At(0, 0, 0, 1));
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0], (ScheduleDecision{Step::Connect, At(23, 59, 0)}));
}

TEST_F(Keeper, AHeldDisconnectGoesWithItsEndTime)
{
    StartAt(At(7, 58, 19));
    EXPECT_EQ(RunTo(At(7, 59, 20)).Step, Step::Warning);
    times.Disconnect = false;  // switched off during the warning
    EXPECT_TRUE(TickTo(At(7, 59, 40)).empty());
    times.Disconnect = true;
    times.End += 60000;  // 08:00
    times.Warning += 60000;
    const auto steps = TickTo(At(8, 0, 0));
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].Due, At(7, 59, 50));
    EXPECT_EQ(steps[1].Due, At(8, 0, 0));
}

// A form whose schedule ticks are driven by the test, on a clock it moves.
struct ScheduleRun : test::MainFormFixture {
    ScheduleRun()
    {
        ras.entries = {"T"};
        form.Settings.Target = "T";
    }
    void StartAt(int h, int m, int s = 0, int day = 0)
    {
        clock.SetLocal(At(h, m, s, day));
        form.Schedule.Restart(clock.LocalNow(), clock.TickCount());
    }
    // Time runs on to the given time (the program ticking, or asleep), then one tick; the
    // service releases what it hung up before the next second, unless the test releases it.
    void Tick(int h, int m, int s = 0, int day = 0)
    {
        clock.time.now += static_cast<std::uint64_t>(At(h, m, s, day) - clock.LocalNow());
        form.tmScheduleTimer();
        if (releaseEachTick)
            ras.Release();
    }
    // The clock is set to the given time, and the next second's tick comes.
    void SetClockAndTick(int h, int m, int s = 0, int day = 0)
    {
        clock.time.now += 1000;
        clock.SetLocal(At(h, m, s, day));
        form.tmScheduleTimer();
        if (releaseEachTick)
            ras.Release();
    }
    // The ticks of every second up to the given time.
    void TickEverySecondTo(int h, int m, int s = 0, int day = 0)
    {
        while (clock.LocalNow() < At(h, m, s, day)) {
            clock.time.now += 1000;
            form.tmScheduleTimer();
            if (releaseEachTick)
                ras.Release();
        }
    }
    bool releaseEachTick = true;
    std::vector<std::string> Messages()
    {
        return test::TakeStatusTexts(form);
    }
    static std::string Template(const char* t)
    {
        std::string s = t;
        ReplaceText("%D", "T", s);
        // The message on screen has lost its action code.
        if (auto a = s.find("%A"); a != std::string::npos)
            s.erase(a, 3);
        return s;
    }
    int Dials() const { return static_cast<int>(std::count(ras.calls.begin(), ras.calls.end(), "Dial 0")); }
    int HangUps() const
    {
        return static_cast<int>(std::count(ras.calls.begin(), ras.calls.end(), "HangUpConnection 0"));
    }
};

class Schedule : public ::testing::Test, protected ScheduleRun {};

TEST_F(Schedule, ConnectAtTheStartTimeOncePerCrossing)
{
    form.Settings.AutoStart = true;
    ras.dialSucceeds = false;  // even a failed dial is not retried by the schedule
    StartAt(22, 59, 58);
    Tick(22, 59, 59);
    EXPECT_EQ(Dials(), 0);
    Tick(23, 0, 0);
    EXPECT_EQ(Dials(), 1);
    EXPECT_EQ(Messages(), std::vector<std::string>{Template(kStatusScheduleDialStarted)});
    EXPECT_TRUE(form.ConnectRequested);
    for (int s = 1; s < 5; ++s)
        Tick(23, 0, s);
    EXPECT_EQ(Dials(), 1);
}

TEST_F(Schedule, StartedAfterTheStartTimeDoesNotCatchUp)
{
    form.Settings.AutoStart = true;
    StartAt(23, 30);
    Tick(23, 30, 1);
    Tick(23, 59, 59);
    EXPECT_EQ(Dials(), 0);
}

TEST_F(Schedule, NoDialWhenTheTargetIsBusyOrMissing)
{
    form.Settings.AutoStart = true;
    ras.states["T"] = 2;
    StartAt(22, 59, 59);
    Tick(23, 0);
    form.Settings.Target = "missing";
    StartAt(22, 59, 59);
    Tick(23, 0);
    EXPECT_EQ(Dials(), 0);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(Schedule, MidnightEndWarnsAt235950AndDisconnectsAfterMidnight)
{
    form.Settings.AutoEnd = true;
    form.Settings.AutoEndHour = 0;
    form.Settings.AutoEndMinute = 0;
    ras.states["T"] = 2;
    StartAt(23, 59, 48);
    Tick(23, 59, 49);
    EXPECT_TRUE(Messages().empty());
    Tick(23, 59, 50);
    EXPECT_EQ(Messages(), std::vector<std::string>{Template(kStatusScheduleWarning)});
    Tick(23, 59, 59);
    EXPECT_TRUE(Messages().empty());
    Tick(0, 0, 0, 1);
    EXPECT_EQ(Messages(), std::vector<std::string>{Template(kStatusScheduleDisconnected)});
    EXPECT_EQ(ras.StateOf("T"), 0);
    EXPECT_EQ(shutdown.requests, 0);
}

// The computer sleeps from 40 s before the end time to 20 s after it: on resume the warning comes
// (with its offer to skip), ten seconds later the disconnect and the shutdown after it; once.
TEST_F(Schedule, SleepOverTheEndTimeWarnsThenDisconnectsAndShutsDown)
{
    form.Settings.AutoEnd = true;
    form.Settings.AutoDisconnectTimeReset = true;
    ras.states["T"] = 2;
    log.Open(Utf8Path("Kiv.log"));
    StartAt(7, 58, 19);
    tmSchedule.SetEnabled(true);
    clock.time.now += 61000;  // asleep until 07:59:20
    form.PowerResumed();
    EXPECT_EQ(Messages(), std::vector<std::string>{Template(kStatusScheduleWarningShutdown)});
    // The log says the system woke, then what came late, by how much and why.
    ASSERT_EQ(log.lines.size(), 4u);
    EXPECT_EQ(log.lines[0], std::string("[システム] ") + kLogResumed);
    EXPECT_EQ(log.lines[1],
              "[スケジュール] 切断の予告（07:58:50）を30秒遅れて行いました。コンピュータがスリープしていたためです。");
    EXPECT_EQ(log.lines[2], "[スケジュール] 終了時刻 7:59 の10秒前: 「T」の切断を予告します。");
    EXPECT_EQ(log.lines[3].rfind("[表示] ", 0), 0u) << log.lines[3];
    EXPECT_EQ(ras.StateOf("T"), 2);
    TickEverySecondTo(7, 59, 29);
    EXPECT_EQ(HangUps(), 0);
    TickEverySecondTo(7, 59, 30);
    EXPECT_EQ(HangUps(), 1);
    EXPECT_EQ(Messages(), std::vector<std::string>{Template(kStatusScheduleDisconnected)});
    EXPECT_EQ(log.With("予定の切断").size(), 1u);
    EXPECT_EQ(log.With("予定の切断（07:59:00）を30秒遅れて行いました。コンピュータがスリープしていたためです。").size(),
              1u);
    EXPECT_EQ(ras.StateOf("T"), 0);
    EXPECT_EQ(shutdown.requests, 1);
    TickEverySecondTo(7, 0, 0, 1);
    EXPECT_EQ(HangUps(), 1);
    EXPECT_EQ(shutdown.requests, 1);
}

// Asleep over the end time with no line up: nothing to warn of or hang up, and the log does not
// say either was done.
TEST_F(Schedule, NothingToDoAfterASleepIsNotLoggedAsDone)
{
    form.Settings.AutoEnd = true;
    log.Open(Utf8Path("Kiv.log"));
    StartAt(7, 58, 19);
    tmSchedule.SetEnabled(true);
    clock.time.now += 61000;
    form.PowerResumed();
    TickEverySecondTo(7, 59, 40);
    EXPECT_EQ(HangUps(), 0);
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(log.lines, (std::vector<std::string>{std::string("[システム] ") + kLogResumed,
                                                   "[スケジュール] 終了時刻 7:59: 「T」は接続されていません。"}));
}

// A click on the late warning's icon skips that disconnect, as on time.
TEST_F(Schedule, TheLateWarningStillOffersTheSkip)
{
    form.Settings.AutoEnd = true;
    ras.states["T"] = 2;
    StartAt(7, 58, 19);
    Tick(7, 59, 20);
    EXPECT_EQ(Messages(), std::vector<std::string>{Template(kStatusScheduleWarning)});
    form.SkipAutoDisconnect = true;
    TickEverySecondTo(7, 59, 40);
    EXPECT_EQ(ras.StateOf("T"), 2);
    EXPECT_FALSE(form.SkipAutoDisconnect);
}

// Asleep over a scheduled connect at 23:59 (23:58:10 to 00:00:20): dialled once on resume. With
// an end time at 00:00 the window closed during the sleep: no dial.
TEST_F(Schedule, SleepOverTheStartTimeDialsOnceWhileTheWindowIsOpen)
{
    for (const bool windowClosed : {false, true}) {
        SCOPED_TRACE(windowClosed);
        ScheduleRun f;
        f.form.Settings.AutoStart = true;
        f.form.Settings.AutoStartHour = 23;
        f.form.Settings.AutoStartMinute = 59;
        f.form.Settings.AutoEnd = windowClosed;
        f.form.Settings.AutoEndHour = 0;
        f.form.Settings.AutoEndMinute = 0;
        f.StartAt(23, 58, 10);
        f.Tick(0, 0, 20, 1);
        f.TickEverySecondTo(0, 10, 0, 1);
        EXPECT_EQ(f.Dials(), windowClosed ? 0 : 1);
        EXPECT_EQ(f.ras.StateOf("T"), windowClosed ? 0 : 1);
    }
}

// The clock set back over the end time: the warning and the disconnect that acted do not come
// again. (A set-back clock once warned again.)
TEST_F(Schedule, ClockSetBackRepeatsNothing)
{
    form.Settings.AutoEnd = true;    // 07:59
    form.Settings.AutoStart = true;  // 23:00
    ras.states["T"] = 2;
    StartAt(7, 58, 40);
    TickEverySecondTo(7, 59, 30);
    EXPECT_EQ(HangUps(), 1);
    ras.states["T"] = 2;  // connected again by hand
    Messages();
    SetClockAndTick(7, 50, 0);
    TickEverySecondTo(8, 10, 0);
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(HangUps(), 1);
    EXPECT_EQ(Dials(), 0);
}

// After a resume the line is looked at again at once: a kept line that dropped while the
// computer slept is redialled.
TEST_F(Schedule, ResumeLooksAtTheLineAgain)
{
    form.Settings.Keep = true;
    form.ConnectRequested = true;
    ras.states["T"] = 2;
    StartAt(12, 0, 0);
    tmSchedule.SetEnabled(true);
    ras.states["T"] = 0;  // dropped during the sleep
    clock.time.now += 3600000;
    form.PowerResumed();
    std::string redial = Template(kStatusLineDroppedRedial);
    ReplaceText("%S", "5", redial);
    EXPECT_EQ(Messages(), std::vector<std::string>{redial});
    EXPECT_TRUE(tmConnect.Enabled());
}

TEST_F(Schedule, SkipOnTheWarningSkipsOneDisconnectOnly)
{
    form.Settings.AutoEnd = true;
    ras.states["T"] = 2;
    StartAt(7, 58, 49);
    Tick(7, 58, 50);
    form.SkipAutoDisconnect = true;  // the icon of the warning was clicked
    Tick(7, 59, 0);
    EXPECT_EQ(ras.StateOf("T"), 2);
    EXPECT_FALSE(form.SkipAutoDisconnect);
    // The next morning.
    Tick(7, 58, 50, 1);
    Tick(7, 59, 0, 1);
    EXPECT_EQ(ras.StateOf("T"), 0);
}

TEST_F(Schedule, ShutdownRightAfterTheDisconnectMessage)
{
    form.Settings.AutoEnd = true;
    form.Settings.AutoDisconnectTimeReset = true;
    ras.states["T"] = 2;
    std::vector<std::string> before;
    shutdown.onRequest = [&] { before = Messages(); };
    StartAt(7, 58, 59);
    Tick(7, 59);
    EXPECT_EQ(shutdown.requests, 1);
    EXPECT_EQ(before, std::vector<std::string>{Template(kStatusScheduleDisconnected)});
}

TEST_F(Schedule, DisconnectCancelsARunningDial)
{
    form.Settings.AutoEnd = true;
    ras.states["T"] = 1;
    form.ConnectRequested = true;
    StartAt(7, 58, 59);
    Tick(7, 59);
    EXPECT_EQ(Messages(), std::vector<std::string>{Template(kStatusScheduleDialCancelled)});
    EXPECT_TRUE(form.CancelRequested);
    EXPECT_TRUE(form.ConnectRequested);  // cleared by the failure event that follows
}

// The ticks that come while the scheduled disconnect's hang-up runs do not act on the crossing
// again; the report comes when the line is released.
TEST_F(Schedule, TicksDuringTheHangUpDoNothing)
{
    form.Settings.AutoEnd = true;
    ras.states["T"] = 2;
    releaseEachTick = false;
    StartAt(7, 58, 59);
    Tick(7, 59);
    Tick(7, 59, 1);
    Tick(7, 59, 2);
    EXPECT_EQ(std::count(ras.calls.begin(), ras.calls.end(), "HangUpConnection 0"), 1);
    EXPECT_TRUE(Messages().empty());
    ras.Release();
    EXPECT_EQ(Messages(), std::vector<std::string>{Template(kStatusScheduleDisconnected)});
}

// A dial that completes while the scheduled cancel runs is hung up too, once the cancel ends.
TEST_F(Schedule, DialCompletedDuringTheCancelIsHungUpToo)
{
    form.Settings.AutoEnd = true;
    ras.states["T"] = 1;
    releaseEachTick = false;
    StartAt(7, 58, 59);
    Tick(7, 59);
    EXPECT_EQ(ras.calls.back(), "CancelDial");
    ras.states["T"] = 2;
    ras.Release();
    EXPECT_EQ(Messages(), std::vector<std::string>{Template(kStatusScheduleDialCancelled)});
    EXPECT_EQ(ras.calls.back(), "HangUpConnection 0");
    ras.Release();
    EXPECT_EQ(Messages(), std::vector<std::string>{Template(kStatusScheduleDisconnected)});
    EXPECT_EQ(ras.StateOf("T"), 0);
}

TEST_F(Schedule, HandEditedTimesNeverStopTheTick)
{
    form.Settings.AutoStart = form.Settings.AutoEnd = true;
    form.Settings.AutoStartHour = 99;  // 23
    form.Settings.AutoStartMinute = -5;  // 0
    form.Settings.AutoEndHour = -1;
    form.Settings.AutoEndMinute = 600;
    StartAt(22, 59, 59);
    Tick(23, 0);
    EXPECT_EQ(Dials(), 1);
}

}  // namespace
}  // namespace kiv
