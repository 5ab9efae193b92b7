#include "Schedule.h"

#include <gtest/gtest.h>

#include "Fakes.h"
#include "TimeOfDay.h"
#include "StatusTexts.h"
#include "TextHelpers.h"
#include "TimeOfDayAt.h"

namespace kiv {
namespace {

using test::At;

TEST(ScheduleTimeReached, Crossings)
{
    const double x = At(23, 0);
    struct Case {
        double previous, now;
        bool reached;
    };
    const Case cases[] = {
        {At(22, 59, 59), At(23, 0), true},     // forward onto it
        {At(22, 59, 59), At(23, 0, 1), true},  // forward across it
        {At(23, 0), At(23, 0, 1), false},      // already past at the previous tick
        {At(22, 0), At(22, 59, 59), false},    // not yet
        {At(23, 0), At(23, 0), false},         // no movement
        {At(23, 59, 59), At(0, 0, 1), false},  // rolled over, x lies after now
        {At(10, 0), At(9, 0), false},          // set back, x lies after now
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScheduleTimeReached(c.now, c.previous, x), c.reached) << c.previous << " -> " << c.now;
    // Rolled over or set back with the time at or before now.
    EXPECT_TRUE(ScheduleTimeReached(At(0, 0, 1), At(23, 59, 59), At(0, 0)));
    EXPECT_TRUE(ScheduleTimeReached(At(9, 0), At(10, 0), At(7, 59)));
}

TEST(ComputeScheduleTimes, WarningTenSecondsBeforeTheEndWithinTheDay)
{
    TSettings s;
    s.AutoEndHour = 0;
    s.AutoEndMinute = 0;
    EXPECT_EQ(ComputeScheduleTimes(s).Warning, At(23, 59, 50));
    s.AutoEndHour = 7;
    s.AutoEndMinute = 59;
    EXPECT_EQ(ComputeScheduleTimes(s).Warning, At(7, 58, 50));
    EXPECT_EQ(ComputeScheduleTimes(s).End, At(7, 59));
}

class Schedule : public ::testing::Test, protected test::MainFormFixture {
protected:
    Schedule()
    {
        ras.entries = {"T"};
        form.Settings.Target = "T";
    }
    void StartAt(int h, int m, int s = 0) { form.LastScheduleTick = At(h, m, s); }
    // One tick of the schedule; the service releases what it hung up before the next second,
    // unless the test releases it itself.
    void Tick(int h, int m, int s = 0)
    {
        clock.timeOfDay = At(h, m, s);
        form.tmScheduleTimer();
        if (releaseEachTick)
            ras.Release();
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
};

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
    Tick(0, 0, 0);
    EXPECT_EQ(Messages(), std::vector<std::string>{Template(kStatusScheduleDisconnected)});
    EXPECT_EQ(ras.StateOf("T"), 0);
    EXPECT_EQ(shutdown.requests, 0);
}

TEST_F(Schedule, OneTickPassingWarningAndEndOnlyWarns)
{
    form.Settings.AutoEnd = true;
    form.Settings.AutoDisconnectTimeReset = true;
    ras.states["T"] = 2;
    StartAt(7, 50);
    Tick(8, 30);  // after a suspend
    EXPECT_EQ(Messages(), std::vector<std::string>{Template(kStatusScheduleWarningShutdown)});
    Tick(8, 30, 1);
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(ras.StateOf("T"), 2);
}

TEST_F(Schedule, ClockSetBackWarnsWithoutDisconnect)
{
    form.Settings.AutoEnd = true;  // 07:59
    ras.states["T"] = 2;
    StartAt(10, 0);
    Tick(9, 0);
    EXPECT_EQ(Messages(), std::vector<std::string>{Template(kStatusScheduleWarning)});
    Tick(9, 0, 1);
    EXPECT_EQ(ras.StateOf("T"), 2);
    // A start time is never dialled by a set-back clock when AutoStart is off.
    EXPECT_EQ(Dials(), 0);
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
    Tick(7, 58, 50);
    Tick(7, 59, 0);
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
