#include <gtest/gtest.h>

#include "Fakes.h"

namespace kiv {
namespace {

using test::FakeClock;
using test::FakeLayeredSystem;

// A form object whose window is handle 7, counting its own Hide and Show.
struct FakeForm : LayeredForm {
    WindowHandle Handle() override { return 7; }
    void Hide() override { ++hides; }
    void Show() override { ++shows; }
    int hides = 0, shows = 0;
};

class VireoSubSetFade : public ::testing::Test {
protected:
    // Fires the running fade's timer until it ends (at most `limit` ticks); the tick count.
    int RunFade(int limit = 100)
    {
        int ticks = 0;
        while (vss.RunningLayeredWindowFeed() && ticks < limit) {
            if (system.timers.size() != 1u) {
                ADD_FAILURE() << "a running fade without its one timer";
                break;
            }
            clock.time.now += 25;
            vss.Timer(system.timers.begin()->first);
            ++ticks;
        }
        return ticks;
    }
    FakeLayeredSystem::Window& W() { return system.windows[7]; }

    FakeClock clock;
    FakeLayeredSystem system{clock};
    TVireoSubSet vss{system};
    FakeForm form;
};

TEST_F(VireoSubSetFade, StepSequences)
{
    struct Case {
        bool in;
        int alpha;
        std::vector<int> applied;  // every alpha applied, from the call to the end tick
        int ticks;
    };
    const Case cases[] = {
        {true, 200, {0, 0, 25, 50, 75, 100, 125, 150, 175, 200}, 9},
        {true, 255, {0, 0, 31, 62, 93, 124, 155, 186, 217, 248, 255}, 10},
        {true, 0, {0, 0}, 1},
        {true, -1, {0, 255}, 1},
        // A step of alpha / 8 would be 0 below 8: the fade steps by 1 and ends.
        {true, 3, {0, 0, 1, 2, 3}, 4},
        {false, 200, {200, 175, 150, 125, 100, 75, 50, 25}, 9},
        {false, 7, {7, 6, 5, 4, 3, 2, 1}, 8},
        {false, 0, {}, 1},
        {false, -1, {}, 1},
    };
    for (const Case& c : cases) {
        FakeLayeredSystem sys{clock};
        TVireoSubSet v{sys};
        FakeForm f;
        ASSERT_TRUE(c.in ? v.FadeIn(&f, c.alpha, 0, 25) : v.FadeOut(&f, c.alpha, 0, 25));
        EXPECT_TRUE(v.RunningLayeredWindowFeed());
        EXPECT_EQ(sys.timers.begin()->first, c.in ? 2u : 1u);
        EXPECT_EQ(sys.timers.begin()->second.interval, 25u);
        int ticks = 0;
        while (v.RunningLayeredWindowFeed() && ticks < 300) {
            v.Timer(sys.timers.begin()->first);
            ++ticks;
        }
        EXPECT_EQ(ticks, c.ticks) << c.in << " " << c.alpha;
        EXPECT_EQ(sys.windows[7].alphas, c.applied) << c.in << " " << c.alpha;
        EXPECT_TRUE(sys.timers.empty());
        EXPECT_EQ(v.FadeTimer, 0u);
        EXPECT_EQ(sys.windows[7].visible, c.in);
        EXPECT_EQ(sys.windows[7].exStyle, kWsExLayered);  // transparent only while fading out
        EXPECT_EQ(f.hides + f.shows, 1);  // SetLayeredWindowEvent is true by default
    }
}

TEST_F(VireoSubSetFade, StylesAndWindowPosDuringFades)
{
    W().exStyle = 0x100;
    ASSERT_TRUE(vss.FadeOut(&form, 200, 0, 25));
    EXPECT_EQ(W().exStyle, 0x100u | kWsExLayered | kWsExTransparent);
    EXPECT_TRUE(W().alphas.empty());  // nothing before the first tick
    RunFade();
    EXPECT_EQ(W().exStyle, 0x100u | kWsExLayered);
    EXPECT_EQ(W().swpFlags, std::vector<unsigned>{0x97});
    EXPECT_EQ(W().alphas.back(), 25);  // the last alpha stays on the hidden window
    EXPECT_EQ(form.hides, 1);

    vss.SetSetLayeredWindowEvent(false);
    ASSERT_TRUE(vss.FadeIn(&form, 200, 0, 25));
    EXPECT_EQ(W().swpFlags.back(), 0x57u);
    EXPECT_TRUE(W().visible);
    RunFade();
    EXPECT_EQ(form.shows, 0);
    vss.FadeOut(&form, 200, 0, 25);
    RunFade();
    EXPECT_EQ(form.hides, 1);  // the window was still hidden by SetWindowPos
    EXPECT_FALSE(W().visible);
}

TEST_F(VireoSubSetFade, ColourKeyUsesBothFlagsFromTheFirstTick)
{
    ASSERT_TRUE(vss.FadeIn(&form, 16, 0xFF00FF, 25));
    EXPECT_EQ(W().flags, 2u);
    EXPECT_EQ(W().colorKey, 0u);
    vss.Timer(2);
    EXPECT_EQ(W().flags, 3u);
    EXPECT_EQ(W().colorKey, 0xFF00FFu);
}

TEST_F(VireoSubSetFade, NewFadeAbandonsTheRunningOne)
{
    ASSERT_TRUE(vss.FadeOut(&form, 200, 0, 25));
    vss.Timer(1);
    vss.Timer(1);
    ASSERT_TRUE(vss.FadeIn(&form, 200, 0, 25));
    EXPECT_EQ(system.timers.count(1), 0u);
    EXPECT_EQ(W().exStyle & kWsExTransparent, 0u);
    EXPECT_TRUE(W().visible);
    vss.Timer(1);  // a stale fade-out tick is no step
    EXPECT_EQ(W().alphas, (std::vector<int>{200, 175, 0}));
    EXPECT_EQ(RunFade(), 9);  // from 0 again
    EXPECT_EQ(form.hides, 0);
    EXPECT_EQ(W().alphas.back(), 200);
}

TEST_F(VireoSubSetFade, FailedFirstAlphaOfFadeInLeavesTheRunningFade)
{
    ASSERT_TRUE(vss.FadeOut(&form, 16, 0, 25));
    system.attributesFail = true;
    EXPECT_FALSE(vss.FadeIn(&form, 200, 0, 25));
    EXPECT_TRUE(vss.RunningLayeredWindowFeed());
    EXPECT_EQ(W().exStyle, kWsExLayered);  // the style changes stay
    RunFade();
    EXPECT_FALSE(vss.RunningLayeredWindowFeed());
    EXPECT_FALSE(W().visible);

    EXPECT_FALSE(vss.FadeIn(&form, 200, 0, 25));
    EXPECT_FALSE(vss.RunningLayeredWindowFeed());
    EXPECT_TRUE(system.timers.empty());
}

TEST_F(VireoSubSetFade, FadeWithoutATimerEndsAtOnce)
{
    system.timerFails = true;
    ASSERT_TRUE(vss.FadeIn(&form, 200, 0, 25));
    EXPECT_FALSE(vss.RunningLayeredWindowFeed());
    EXPECT_EQ(W().alphas.back(), 200);
    ASSERT_TRUE(vss.FadeOut(&form, 200, 0, 25));
    EXPECT_FALSE(vss.RunningLayeredWindowFeed());
    EXPECT_FALSE(W().visible);
}

TEST(VireoSubSet, SetLayeredAlpha)
{
    FakeClock clock;
    FakeLayeredSystem system{clock};
    TVireoSubSet vss{system};
    EXPECT_TRUE(vss.UseSetLayeredWindow());

    EXPECT_TRUE(vss.SetLayeredAlpha(7, -1, 0));  // not layered: only repainted
    EXPECT_EQ(system.windows[7].exStyle, 0u);
    EXPECT_EQ(system.windows[7].redraws, 1);

    EXPECT_TRUE(vss.SetLayeredAlpha(7, 100, 0));
    EXPECT_EQ(system.windows[7].exStyle, kWsExLayered);
    EXPECT_EQ(system.windows[7].alphas, std::vector<int>{100});
    EXPECT_EQ(system.windows[7].flags, 2u);
    EXPECT_TRUE(vss.SetLayeredAlpha(7, 0, 0x123456));
    EXPECT_EQ(system.windows[7].flags, 3u);
    EXPECT_TRUE(vss.SetLayeredAlpha(7, -1, 0));
    EXPECT_EQ(system.windows[7].exStyle, 0u);
    EXPECT_EQ(system.windows[7].redraws, 2);

    system.windows.clear();
    EXPECT_FALSE(vss.SetLayeredAlpha(7, 256, 0));
    EXPECT_FALSE(vss.SetLayeredAlpha(7, -2, 0));
    EXPECT_FALSE(vss.SetLayeredAlpha(0, 100, 0));
    EXPECT_FALSE(vss.SetLayeredAlpha(-5, 100, 0));
    EXPECT_TRUE(system.windows.empty() || system.windows[7].alphas.empty());
}

TEST(VireoSubSet, WithoutLayeredWindowsNothingHappens)
{
    FakeClock clock;
    FakeLayeredSystem system{clock};
    system.available = false;
    TVireoSubSet vss{system};
    FakeForm form;
    EXPECT_FALSE(vss.UseSetLayeredWindow());
    EXPECT_FALSE(vss.SetLayeredAlpha(7, 100, 0));
    EXPECT_FALSE(vss.FadeIn(&form, 100, 0, 25));
    EXPECT_FALSE(vss.FadeOut(&form, 100, 0, 25));
    EXPECT_FALSE(vss.FadeIn(nullptr, 100, 0, 25));
    EXPECT_FALSE(vss.RunningLayeredWindowFeed());
    EXPECT_TRUE(system.windows.empty());
    EXPECT_TRUE(system.timers.empty());

    FakeLayeredSystem withLayers{clock};
    TVireoSubSet layered{withLayers};
    EXPECT_FALSE(layered.FadeOut(nullptr, 100, 0, 25));
    EXPECT_FALSE(layered.FadeOut(&form, 256, 0, 25));
    EXPECT_FALSE(layered.FadeIn(&form, -2, 0, 25));
    EXPECT_FALSE(layered.RunningLayeredWindowFeed());
}

}  // namespace
}  // namespace kiv
