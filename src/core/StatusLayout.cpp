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

std::optional<TPoint> StatusWindowPosition(int statusLocate, const TStatusArea& area, int width, int height,
                                           unsigned dpi)
{
    if (statusLocate < 1 || statusLocate > 4)
        return std::nullopt;
    const TRect r = StatusUsableArea(area);
    const int margin = ScaleToDpi(10, dpi);
    const bool left = statusLocate == 1 || statusLocate == 3;
    const bool top = statusLocate <= 2;
    return TPoint{left ? r.Left + margin : r.Right - width - margin, top ? r.Top + margin : r.Bottom - height - margin};
}

TStatusParts StatusWindowParts(unsigned dpi)
{
    const DialogRect icon = ScaleRect({2, 1, 44, 44}, dpi);
    return {{icon.X, icon.Y, icon.X + icon.Width, icon.Y + icon.Height},
            ScaleToDpi(48, dpi),
            {ScaleToDpi(52, dpi), ScaleToDpi(29, dpi)}};
}

TSize StatusWindowSize(TSize label, unsigned dpi)
{
    return {label.Width + ScaleToDpi(72, dpi), label.Height + ScaleToDpi(36, dpi)};
}

TStatusShape StatusWindowShape(int width, int height, bool closeBar, bool multiLine, unsigned dpi)
{
    const auto s = [dpi](int value) { return ScaleToDpi(value, dpi); };
    TStatusShape shape;
    shape.Circle = {0, 0, s(48), s(48)};
    // The body reaches up to the close bar when there is one.
    shape.Body = {{s(12), s(closeBar ? 19 : 23), width, height}, s(20), s(20)};
    if (multiLine)
        shape.Column = TRoundRect{{0, s(15), s(35), height}, s(20), s(20)};
    return shape;
}

TCloseBar StatusCloseBar(int width, std::uint32_t elapsed, int lifetime, bool othersWaiting, unsigned dpi)
{
    TCloseBar bar;
    // At 96 dpi: an outline from 46,20 to 10 pixels from the right edge, 3 pixels high, around a
    // line of one pixel.
    const int t = std::max(1, ScaleToDpi(1, dpi));
    const int left = ScaleToDpi(46, dpi), top = ScaleToDpi(20, dpi), right = width - ScaleToDpi(10, dpi);
    bar.Outline = {left, top, right, top + 3 * t};
    bar.Thickness = t;
    bar.LineLeft = left + t;
    bar.LineY = top + t;
    const int full = right - t;
    const long long e = elapsed;
    if (othersWaiting || e >= lifetime || lifetime <= 0)
        bar.LineRight = full;
    else
        bar.LineRight =
            bar.LineLeft + static_cast<int>(std::lround(static_cast<double>(e) / lifetime * (full - bar.LineLeft)));
    return bar;
}

}  // namespace kiv
