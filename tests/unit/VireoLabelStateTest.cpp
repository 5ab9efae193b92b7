#include "VireoLabelState.h"

#include <gtest/gtest.h>

namespace kiv {
namespace {

constexpr std::uint32_t kBlue = 0xFF0000;

TEST(VireoLabel, EnterAndLeaveAlwaysComeBackToItsOwnBlue)
{
    TVireoLabelState label;
    label.FontColor = kBlue;
    EXPECT_EQ(label.HoverColor, 0x0000FFu);  // red
    for (int i = 0; i < 3; ++i) {
        label.MouseEnter();
        EXPECT_TRUE(label.Underline);
        EXPECT_EQ(label.FontColor, 0x0000FFu);
        label.MouseEnter();  // a second enter keeps the saved colour
        label.MouseLeave();
        EXPECT_FALSE(label.Underline);
        EXPECT_EQ(label.FontColor, kBlue);
    }
}

TEST(VireoLabel, ColourSavedOnceAtTheFirstEnterOrLeave)
{
    TVireoLabelState label;
    label.FontColor = kBlue;
    label.MouseLeave();  // a leave first saves too
    EXPECT_EQ(label.SavedColor, static_cast<std::int32_t>(kBlue));
    label.FontColor = 0x00FF00;  // changed later: no longer taken
    label.HoverColor = 0x123456;
    label.MouseEnter();
    EXPECT_EQ(label.FontColor, 0x123456u);
    label.MouseLeave();
    EXPECT_EQ(label.FontColor, kBlue);
}

}  // namespace
}  // namespace kiv
