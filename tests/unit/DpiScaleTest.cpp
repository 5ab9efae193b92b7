#include "DpiScale.h"

#include <gtest/gtest.h>

namespace kiv {
namespace {

TEST(DpiScale, ValuesRoundHalfAwayFromZero)
{
    struct Case {
        int value;
        unsigned dpi;
        int scaled;
    };
    const Case cases[] = {
        {12, 96, 12},  {12, 120, 15}, {12, 144, 18}, {12, 192, 24}, {-12, 144, -18}, {1, 144, 2},     {1, 120, 1},
        {-1, 144, -2}, {29, 144, 44}, {45, 144, 68}, {0, 192, 0},   {345, 144, 518}, {420, 168, 735}, {7, 120, 9},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScaleToDpi(c.value, c.dpi), c.scaled) << c.value << " at " << c.dpi;
}

// Edges are scaled, sizes taken between them: two controls that touch at 96 dpi touch at any
// dpi, and a size rounds with its position.
TEST(DpiScale, RectanglesKeepTheirNeighbours)
{
    EXPECT_EQ(ScaleRect({180, 318, 75, 23}, 96), (DialogRect{180, 318, 75, 23}));
    EXPECT_EQ(ScaleRect({180, 318, 75, 23}, 144), (DialogRect{270, 477, 113, 35}));
    EXPECT_EQ(ScaleRect({255, 318, 6, 23}, 144), (DialogRect{383, 477, 9, 35}));  // the gap after OK
    EXPECT_EQ(ScaleRect({1, 1, 1, 1}, 144), (DialogRect{2, 2, 1, 1}));
    for (const unsigned dpi : {96u, 120u, 144u, 168u, 192u, 240u}) {
        const DialogRect ok = ScaleRect({180, 318, 75, 23}, dpi), cancel = ScaleRect({255, 318, 75, 23}, dpi);
        EXPECT_EQ(ok.X + ok.Width, cancel.X) << dpi;
    }
}

TEST(DpiScale, FontHeightsFromPoints)
{
    EXPECT_EQ(FontHeightForPoints(14, 96), -19);
    EXPECT_EQ(FontHeightForPoints(14, 144), -28);
    EXPECT_EQ(FontHeightForPoints(9, 96), -12);
    EXPECT_EQ(FontHeightForPoints(9, 192), -24);
}

TEST(DpiScale, OnlyTheScalingsWindowsOffersAreTaken)
{
    EXPECT_EQ(UsableDpi(0), 96u);
    EXPECT_EQ(UsableDpi(72), 96u);
    EXPECT_EQ(UsableDpi(144), 144u);
    EXPECT_EQ(UsableDpi(480), 480u);
    EXPECT_EQ(UsableDpi(100000), 96u);
}

}  // namespace
}  // namespace kiv
