// Arithmetic of the status window: the taskbar edge, the placement in a corner of the work area,
// the window's shape and the close bar.
#pragma once

#include <cstdint>
#include <optional>

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

inline constexpr int kStatusMargin = 10;

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
// right, bottom left, bottom right): the margin from both edges of that corner of the usable
// area. Other StatusLocate values give nothing: the window stays where it is.
std::optional<TPoint> StatusWindowPosition(int statusLocate, const TStatusArea& area, int width, int height);

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

TStatusShape StatusWindowShape(int width, int height, bool closeBar, bool multiLine);

// The close bar of a window of the given width: an outline rectangle and a line from
// (LineLeft, LineY) to (LineRight, LineY) that grows over the message's lifetime.
struct TCloseBar {
    TRect Outline;
    int LineLeft = 0, LineRight = 0, LineY = 0;
    bool operator==(const TCloseBar&) const = default;
};

inline constexpr std::uint32_t kCloseBarOutlineColor = 0xCC7799;  // RGB 153, 119, 204 as 0x00BBGGRR
inline constexpr std::uint32_t kCloseBarColor = 0xCC99FF;         // RGB 255, 153, 204

// elapsed and lifetime in ms; full when others are waiting or the lifetime is over.
TCloseBar StatusCloseBar(int width, std::uint32_t elapsed, int lifetime, bool othersWaiting);

}  // namespace kiv
