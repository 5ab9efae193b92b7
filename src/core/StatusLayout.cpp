#include "StatusLayout.h"

#include <algorithm>
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

TRect StatusUsableArea(const TStatusArea& area)
{
    const int sw = area.Screen.Width, sh = area.Screen.Height;
    // The work area on the screen: one that reaches beyond it is out of date (Wine keeps the
    // old one after a change of display mode).
    const TRect w{std::max(area.WorkArea.Left, 0), std::max(area.WorkArea.Top, 0), std::min(area.WorkArea.Right, sw),
                  std::min(area.WorkArea.Bottom, sh)};
    TRect r = w.Right > w.Left && w.Bottom > w.Top ? w : TRect{0, 0, sw, sh};
    // An empty rectangle is a taskbar window that is not on screen (Wine without its desktop
    // has one).
    if (!area.Taskbar || area.Taskbar->Right <= area.Taskbar->Left || area.Taskbar->Bottom <= area.Taskbar->Top)
        return r;
    const TRect& t = *area.Taskbar;
    switch (TaskbarEdgeOf(t, sw, sh)) {
    case TaskbarEdge::Top: r.Top = std::max(r.Top, t.Bottom); break;
    case TaskbarEdge::Bottom: r.Bottom = std::min(r.Bottom, t.Top); break;
    case TaskbarEdge::Left: r.Left = std::max(r.Left, t.Right); break;
    case TaskbarEdge::Right: r.Right = std::min(r.Right, t.Left); break;
    }
    return r;
}

std::optional<TPoint> StatusWindowPosition(int statusLocate, const TStatusArea& area, int width, int height)
{
    if (statusLocate < 1 || statusLocate > 4)
        return std::nullopt;
    const TRect r = StatusUsableArea(area);
    const bool left = statusLocate == 1 || statusLocate == 3;
    const bool top = statusLocate <= 2;
    return TPoint{left ? r.Left + kStatusMargin : r.Right - width - kStatusMargin,
                  top ? r.Top + kStatusMargin : r.Bottom - height - kStatusMargin};
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
