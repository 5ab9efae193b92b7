#include "StartupDial.h"

#include <gtest/gtest.h>

#include "TimeOfDayAt.h"

namespace kiv {
namespace {

using test::At;

TSettings Window(int sh, int sm, int eh, int em)
{
    TSettings s;
    s.AutoConnectRun = s.AutoConnectRunTime = s.AutoStart = s.AutoEnd = true;
    s.AutoStartHour = sh;
    s.AutoStartMinute = sm;
    s.AutoEndHour = eh;
    s.AutoEndMinute = em;
    return s;
}

TEST(ShouldDialAtStartup, OnlyWhenAsked)
{
    TSettings s;
    EXPECT_FALSE(ShouldDialAtStartup(s, At(12, 0)));
    s.AutoConnectRun = true;
    EXPECT_TRUE(ShouldDialAtStartup(s, At(12, 0)));
    // The time window counts only with all three of its switches on.
    s.AutoConnectRunTime = s.AutoStart = true;
    EXPECT_TRUE(ShouldDialAtStartup(s, At(12, 0)));
}

TEST(ShouldDialAtStartup, WindowWithStrictBounds)
{
    struct Case {
        TSettings s;
        double now;
        bool dial;
    };
    const Case cases[] = {
        {Window(23, 0, 7, 59), At(23, 30), true},
        {Window(23, 0, 7, 59), At(3, 0), true},
        {Window(23, 0, 7, 59), At(12, 0), false},
        {Window(23, 0, 7, 59), At(23, 0), false},  // exactly at the start
        {Window(23, 0, 7, 59), At(23, 0, 1), true},
        {Window(23, 0, 7, 59), At(7, 59), false},  // exactly at the end
        {Window(9, 0, 17, 0), At(9, 0), false},
        {Window(9, 0, 17, 0), At(12, 0), true},
        {Window(9, 0, 17, 0), At(17, 0), false},
        {Window(9, 0, 17, 0), At(20, 0), false},
        {Window(8, 30, 8, 30), At(12, 0), false},  // S = E: never
        {Window(8, 30, 8, 30), At(8, 30), false},
        // Hand-edited values outside the ranges are clamped: 99:-5 is 23:00.
        {Window(99, -5, 7, 59), At(23, 30), true},
        {Window(99, -5, 7, 59), At(22, 30), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShouldDialAtStartup(c.s, c.now), c.dial)
            << c.s.AutoStartHour << ":" << c.s.AutoStartMinute << "-" << c.s.AutoEndHour << ":"
            << c.s.AutoEndMinute << " at " << c.now;
}

}  // namespace
}  // namespace kiv
