#include "StatusLayout.h"

#include <cmath>

namespace kiv {

TaskbarEdge TaskbarEdgeOf(const TRect& taskbar, int screenWidth, int screenHeight)
{
    const int width = taskbar.Right - taskbar.Left;
    if (taskbar.Top <= 0 && width >= screenWidth)
        return TaskbarEdge::Top;
    if (taskbar.Top + taskbar.Bottom >= screenHeight && width >= screenWidth)
        return TaskbarEdge::Bottom;
    if (taskbar.Left <= 0 && taskbar.Bottom >= screenHeight)
        return TaskbarEdge::Left;
    return TaskbarEdge::Right;
}

std::optional<TPoint> StatusWindowPosition(int statusLocate, const std::optional<TRect>& taskbar, int width,
                                           int height, int screenWidth, int screenHeight)
{
    const int m = kStatusMargin;
    const int leftX = m;
    const int rightX = screenWidth - width - m;
    const int topY = m;
    const int bottomY = screenHeight - height - m;
    // An empty rectangle is a taskbar window that is not on screen (Wine without its desktop
    // has one): placed as without a taskbar.
    if (!taskbar || taskbar->Right <= taskbar->Left || taskbar->Bottom <= taskbar->Top) {
        switch (statusLocate) {
        case 1: return TPoint{leftX, topY};
        case 2: return TPoint{rightX, topY};
        case 3: return TPoint{leftX, bottomY};
        case 4: return TPoint{rightX, bottomY};
        default: return std::nullopt;
        }
    }
    const TRect& t = *taskbar;
    const TaskbarEdge edge = TaskbarEdgeOf(t, screenWidth, screenHeight);
    switch (statusLocate) {
    case 1:
        if (edge == TaskbarEdge::Top) return TPoint{leftX, t.Bottom + m};
        if (edge == TaskbarEdge::Left) return TPoint{t.Right + m, topY};
        return TPoint{leftX, topY};
    case 2:
        if (edge == TaskbarEdge::Top) return TPoint{rightX, t.Bottom + m};
        if (edge == TaskbarEdge::Right) return TPoint{t.Left - width - m, topY};
        return TPoint{rightX, topY};
    case 3:
        if (edge == TaskbarEdge::Bottom) return TPoint{leftX, t.Top - height - m};
        if (edge == TaskbarEdge::Left) return TPoint{t.Right + m, bottomY};
        return TPoint{leftX, bottomY};
    case 4:
        if (edge == TaskbarEdge::Bottom) return TPoint{rightX, t.Top - height - m};
        if (edge == TaskbarEdge::Right) return TPoint{t.Left - width - m, bottomY};
        return TPoint{rightX, bottomY};
    default:
        return std::nullopt;
    }
}

TStatusShape StatusWindowShape(int width, int height, bool closeBar, bool multiLine)
{
    TStatusShape shape;
    shape.Circle = {0, 0, 48, 48};
    shape.Body = {{12, 23 - 4 * (closeBar ? 1 : 0), width, height}, 20, 20};
    if (multiLine)
        shape.Column = TRoundRect{{0, 15, 35, height}, 20, 20};
    return shape;
}

TCloseBar StatusCloseBar(int width, std::uint32_t elapsed, int lifetime, bool othersWaiting)
{
    TCloseBar bar;
    bar.Outline = {46, 20, width - 10, 23};
    bar.LineLeft = 47;
    bar.LineY = 21;
    const long long e = elapsed;
    if (othersWaiting || e >= lifetime || lifetime <= 0)
        bar.LineRight = width - 11;
    else
        bar.LineRight = 47 + static_cast<int>(std::lround(static_cast<double>(e) / lifetime * (width - 58)));
    return bar;
}

}  // namespace kiv
