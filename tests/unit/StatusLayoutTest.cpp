#include <gtest/gtest.h>

#include "StatusLayout.h"
#include "StatusMessage.h"

namespace kiv {
namespace {

TEST(StatusTemplate, ActionIsReadOnceFromTheNotation)
{
    struct Case {
        const char* message;
        int code;
        const char* rest;
    };
    const Case cases[] = {
        {"接続\r切断%A2", 2, "接続\r切断"},
        {"a%A0", 0, "a"},
        {"a%A4b%A1", 4, "ab%A1"},  // only the first
        {"a%Axb", 0, "ab"},        // not a digit: code 0, the three bytes still go
        {"a%A", 0, "a"},           // no character after it
        {"no action", 0, "no action"},
        {"%A9", 9, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseStatusTemplate(c.message), (StatusTemplate{c.rest, c.code})) << c.message;
}

TEST(StatusMessage, LifetimeGrowsWithTheShiftJisBytes)
{
    EXPECT_EQ(StatusLifetime(""), 1000);
    EXPECT_EQ(StatusLifetime("「ISP」へ接続しました。"), 2380);  // 23 bytes
}

TEST(StatusLayout, ElapsedTimeAcrossTheTickWrap)
{
    EXPECT_EQ(TickElapsed(100, 40), 60u);
    EXPECT_EQ(TickElapsed(0x10, 0xFFFFFFF0u), 0x20u);
}

TEST(StatusLayout, TaskbarEdge)
{
    const int sw = 1024, sh = 768;
    EXPECT_EQ(TaskbarEdgeOf({0, 0, 1024, 30}, sw, sh), TaskbarEdge::Top);
    EXPECT_EQ(TaskbarEdgeOf({-2, -2, 1026, 30}, sw, sh), TaskbarEdge::Top);
    EXPECT_EQ(TaskbarEdgeOf({0, 738, 1024, 768}, sw, sh), TaskbarEdge::Bottom);
    EXPECT_EQ(TaskbarEdgeOf({0, 0, 60, 768}, sw, sh), TaskbarEdge::Left);
    EXPECT_EQ(TaskbarEdgeOf({964, 0, 1024, 768}, sw, sh), TaskbarEdge::Right);
    // A short bar at the bottom is not full width: it counts as right.
    EXPECT_EQ(TaskbarEdgeOf({100, 738, 900, 768}, sw, sh), TaskbarEdge::Right);
}

TEST(StatusLayout, PlacementByCornerAndTaskbar)
{
    const int sw = 1024, sh = 768, w = 300, h = 80;
    const TRect top{0, 0, 1024, 30}, bottom{0, 738, 1024, 768}, left{0, 0, 60, 768}, right{964, 0, 1024, 768};
    // A shell that reports no work area: the taskbar alone is kept clear of.
    const auto onScreen = [&](std::optional<TRect> taskbar) { return TStatusArea{{sw, sh}, {}, taskbar}; };
    struct Case {
        int locate;
        TRect taskbar;
        TPoint at;
    };
    const Case cases[] = {
        {1, top, {10, 40}},           {1, left, {70, 10}},          {1, bottom, {10, 10}},        {1, right, {10, 10}},
        {2, top, {714, 40}},          {2, right, {654, 10}},        {2, bottom, {714, 10}},       {2, left, {714, 10}},
        {3, bottom, {10, 648}},       {3, left, {70, 678}},         {3, top, {10, 678}},          {3, right, {10, 678}},
        {4, bottom, {714, 648}},      {4, right, {654, 678}},       {4, top, {714, 678}},         {4, left, {714, 678}},
    };
    for (const Case& c : cases) {
        const auto at = StatusWindowPosition(c.locate, onScreen(c.taskbar), w, h, 96);
        ASSERT_TRUE(at) << c.locate;
        EXPECT_EQ(*at, c.at) << c.locate << " " << c.taskbar.Left << "," << c.taskbar.Top;
    }
    // Without a taskbar: 10 pixels from both edges of the corner.
    const TPoint corners[] = {{10, 10}, {714, 10}, {10, 678}, {714, 678}};
    for (int locate = 1; locate <= 4; ++locate) {
        EXPECT_EQ(StatusWindowPosition(locate, onScreen(std::nullopt), w, h, 96), corners[locate - 1]);
        // A taskbar window of no size (as Wine's without its desktop) counts as none.
        EXPECT_EQ(StatusWindowPosition(locate, onScreen(TRect{0, 0, 0, 0}), w, h, 96), corners[locate - 1]);
    }
    EXPECT_FALSE(StatusWindowPosition(0, onScreen(bottom), w, h, 96));
    EXPECT_FALSE(StatusWindowPosition(5, onScreen(std::nullopt), w, h, 96));
}

TEST(StatusLayout, PlacementKeepsToTheWorkArea)
{
    const TSize screen{1024, 768};
    const TRect bottom{0, 728, 1024, 768};
    struct Case {
        const char* what;
        TRect workArea;
        std::optional<TRect> taskbar;
        TRect usable;
    };
    const Case cases[] = {
        // Windows: the work area already leaves the taskbar out.
        {"taskbar at the bottom", {0, 0, 1024, 728}, bottom, {0, 0, 1024, 728}},
        {"taskbar moved to the top", {0, 40, 1024, 768}, TRect{0, 0, 1024, 40}, {0, 40, 1024, 768}},
        // Another bar docked at the left, which only the work area knows of.
        {"a docked bar at the left", {120, 0, 1024, 728}, bottom, {120, 0, 1024, 728}},
        // The taskbar hidden until the pointer comes: the work area is the whole screen.
        {"an auto-hidden taskbar", {0, 0, 1024, 768}, TRect{0, 766, 1024, 806}, {0, 0, 1024, 766}},
        // Wine's desktop reports the whole screen while its taskbar covers the bottom.
        {"a work area over the taskbar", {0, 0, 1024, 768}, bottom, {0, 0, 1024, 728}},
        {"no work area known", {}, bottom, {0, 0, 1024, 728}},
        // Kept from a larger display mode (Wine): only its part on the screen counts.
        {"a work area beyond the screen", {0, 0, 1280, 1024}, bottom, {0, 0, 1024, 728}},
        {"no work area and no taskbar", {}, std::nullopt, {0, 0, 1024, 768}},
    };
    const int w = 300, h = 80;
    for (const Case& c : cases) {
        const TStatusArea area{screen, c.workArea, c.taskbar};
        EXPECT_EQ(StatusUsableArea(area), c.usable) << c.what;
        const TRect& u = c.usable;
        EXPECT_EQ(StatusWindowPosition(1, area, w, h, 96), (TPoint{u.Left + 10, u.Top + 10})) << c.what;
        EXPECT_EQ(StatusWindowPosition(4, area, w, h, 96), (TPoint{u.Right - 10 - w, u.Bottom - 10 - h})) << c.what;
    }
}

TEST(StatusLayout, ShapeFollowsCloseBarAndLines)
{
    const TStatusShape withBar = StatusWindowShape(300, 80, true, false, 96);
    EXPECT_EQ(withBar.Circle, (TRect{0, 0, 48, 48}));
    EXPECT_EQ(withBar.Body, (TRoundRect{{12, 19, 300, 80}, 20, 20}));
    EXPECT_FALSE(withBar.Column);

    const TStatusShape twoLines = StatusWindowShape(300, 80, false, true, 96);
    EXPECT_EQ(twoLines.Body, (TRoundRect{{12, 23, 300, 80}, 20, 20}));
    EXPECT_EQ(twoLines.Column, (TRoundRect{{0, 15, 35, 80}, 20, 20}));
}

TEST(StatusLayout, CloseBarGrowsOverTheLifetime)
{
    // Width 358: the line runs from 47 to at most 347 (300 pixels).
    struct Case {
        std::uint32_t elapsed;
        int lifetime;
        bool othersWaiting;
        int right;
    };
    const Case cases[] = {
        {0, 2000, false, 47},     {1000, 2000, false, 197}, {1001, 2000, false, 197}, {1005, 2000, false, 198},
        {1999, 2000, false, 347}, {2000, 2000, false, 347}, {9000, 2000, false, 347}, {0, 2000, true, 347},
        {0, -1, false, 347},
    };
    for (const Case& c : cases) {
        const TCloseBar bar = StatusCloseBar(358, c.elapsed, c.lifetime, c.othersWaiting, 96);
        EXPECT_EQ(bar.Outline, (TRect{46, 20, 348, 23}));
        EXPECT_EQ(bar.Thickness, 1);
        EXPECT_EQ(bar.LineLeft, 47);
        EXPECT_EQ(bar.LineY, 21);
        EXPECT_EQ(bar.LineRight, c.right) << c.elapsed << " " << c.lifetime;
    }
}

// The parts, shape, close bar and margin at the three common scalings: each a 96-dpi size scaled,
// so the window at 192 dpi is the one at 96 drawn with every pixel doubled.
TEST(StatusLayout, ScaledToTheDpi)
{
    struct Case {
        unsigned dpi;
        TStatusParts parts;
        TRect circle, body;
        int corner;
        TCloseBar bar;       // of a window 716 pixels wide, half its lifetime gone
        TPoint bottomRight;  // of a window of 600 x 160 on a screen of 2048 x 1536
    };
    const Case cases[] = {
        {96,
         {{2, 1, 46, 45}, 48, {52, 29}},
         {0, 0, 48, 48},
         {12, 19, 716, 160},
         20,
         {{46, 20, 706, 23}, 1, 47, 376, 21},
         {1438, 1366}},
        {144,
         {{3, 2, 69, 68}, 72, {78, 44}},
         {0, 0, 72, 72},
         {18, 29, 716, 160},
         30,
         {{69, 30, 701, 36}, 2, 71, 385, 32},
         {1433, 1361}},
        {192,
         {{4, 2, 92, 90}, 96, {104, 58}},
         {0, 0, 96, 96},
         {24, 38, 716, 160},
         40,
         {{92, 40, 696, 46}, 2, 94, 394, 42},
         {1428, 1356}},
    };
    const TStatusArea screen{{2048, 1536}, {}, std::nullopt};
    for (const Case& c : cases) {
        EXPECT_EQ(StatusWindowParts(c.dpi), c.parts) << c.dpi;
        const TStatusShape shape = StatusWindowShape(716, 160, true, true, c.dpi);
        EXPECT_EQ(shape.Circle, c.circle) << c.dpi;
        EXPECT_EQ(shape.Body, (TRoundRect{c.body, c.corner, c.corner})) << c.dpi;
        ASSERT_TRUE(shape.Column);
        EXPECT_EQ(shape.Column->CornerWidth, c.corner);
        EXPECT_EQ(StatusCloseBar(716, 1000, 2000, false, c.dpi), c.bar) << c.dpi;
        EXPECT_EQ(StatusWindowPosition(4, screen, 600, 160, c.dpi), c.bottomRight) << c.dpi;
    }
    EXPECT_EQ(StatusWindowSize({300, 36}, 96), (TSize{372, 72}));
    EXPECT_EQ(StatusWindowSize({450, 54}, 144), (TSize{558, 108}));
}

}  // namespace
}  // namespace kiv
