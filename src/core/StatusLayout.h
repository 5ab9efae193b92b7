// Arithmetic of the status window: the taskbar edge, the placement in a corner of the work area,
// the window's parts, shape and close bar. Every size is given at 96 dpi and scaled to the dpi of
// the monitor the window is on.
#pragma once

#include <cstdint>
#include <optional>

#include "DpiScale.h"

namespace kiv {

struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool operator==(const TRect&) const = default;
};

struct TSize {
    int Width = 0, Height = 0;
    bool operator==(const TSize&) const = default;
};

struct TPoint {
    int X = 0, Y = 0;
    bool operator==(const TPoint&) const = default;
};

// Milliseconds from `from` to `now` on the system tick, which wraps after 2^32 ms.
inline std::uint32_t TickElapsed(std::uint32_t now, std::uint32_t from) { return now - from; }

enum class TaskbarEdge { Top, Bottom, Left, Right };

// Which screen edge the taskbar of the given rectangle sits on.
TaskbarEdge TaskbarEdgeOf(const TRect& taskbar, int screenWidth, int screenHeight);

// Where the status window may sit: the primary screen, its work area (the screen without the
// taskbar and other bars docked at its edges; empty when unknown) and the taskbar window's
// rectangle (nothing, or empty, when there is no taskbar on screen).
struct TStatusArea {
    TSize Screen;
    TRect WorkArea;
    std::optional<TRect> Taskbar;
};

// The part of the screen the status window keeps to: the work area, cut to the screen, less a
// taskbar that reaches into it (a shell that reports the whole screen as its work area, as
// Wine's desktop does).
TRect StatusUsableArea(const TStatusArea& area);

// Top-left corner of a window of size width x height for StatusLocate 1..4 (top left, top
// right, bottom left, bottom right): the margin (10 pixels at 96 dpi) from both edges of that
// corner of the usable area. Other StatusLocate values give nothing: the window stays where it is.
std::optional<TPoint> StatusWindowPosition(int statusLocate, const TStatusArea& area, int width, int height,
                                           unsigned dpi);

// Where the window's parts go at a dpi: the icon's rectangle (44 x 44 at 2,1 at 96 dpi), the size
// of the image drawn into it, and the top-left corner of the message's first line.
struct TStatusParts {
    TRect Icon;
    int IconImage = 48;
    TPoint Label;
    bool operator==(const TStatusParts&) const = default;
};
TStatusParts StatusWindowParts(unsigned dpi);

// The window's size around a message whose label measures `label` (in the font of the dpi).
TSize StatusWindowSize(TSize label, unsigned dpi);

// A rounded rectangle with corner ellipses of CornerWidth x CornerHeight.
struct TRoundRect {
    TRect Bounds;
    int CornerWidth = 20, CornerHeight = 20;
    bool operator==(const TRoundRect&) const = default;
};

// The window's region: the union of a circle around the icon, the rounded body, and for a
// message of more than one line a rounded left column reaching down to the last line.
struct TStatusShape {
    TRect Circle;
    TRoundRect Body;
    std::optional<TRoundRect> Column;
    bool operator==(const TStatusShape&) const = default;
};

TStatusShape StatusWindowShape(int width, int height, bool closeBar, bool multiLine, unsigned dpi);

// The close bar of a window of the given width: an outline of Thickness pixels around a line of
// the same thickness, which runs from LineLeft (included) to LineRight (excluded) on the rows
// from LineY and grows over the message's lifetime.
struct TCloseBar {
    TRect Outline;
    int Thickness = 1;
    int LineLeft = 0, LineRight = 0, LineY = 0;
    bool operator==(const TCloseBar&) const = default;
};

inline constexpr std::uint32_t kCloseBarOutlineColor = 0xCC7799;  // RGB 153, 119, 204 as 0x00BBGGRR
inline constexpr std::uint32_t kCloseBarColor = 0xCC99FF;         // RGB 255, 153, 204

// elapsed and lifetime in ms; full when others are waiting or the lifetime is over.
TCloseBar StatusCloseBar(int width, std::uint32_t elapsed, int lifetime, bool othersWaiting, unsigned dpi);

}  // namespace kiv
