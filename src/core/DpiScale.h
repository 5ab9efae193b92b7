// Sizes from 96 dpi to a monitor's dpi. The windows are drawn in 96-dpi pixels (their
// rectangles, fonts and margins); on a monitor at another scaling each one is scaled here, and
// the window side only asks the system for the dpi and applies what this gives.
#pragma once

namespace kiv {

inline constexpr unsigned kDefaultDpi = 96;

// A rectangle of a dialog: its top-left corner on its parent and its size.
struct DialogRect {
    int X = 0, Y = 0, Width = 0, Height = 0;
    bool operator==(const DialogRect&) const = default;
};

// value96 * dpi / 96, rounded half away from zero (as MulDiv rounds), so that a negative font
// height scales as its magnitude does.
int ScaleToDpi(int value96, unsigned dpi);

// The rectangle's edges scaled, its size taken between them: rectangles that touch at 96 dpi
// still touch, and a row of them keeps its spacing, whatever the rounding.
DialogRect ScaleRect(const DialogRect& rect96, unsigned dpi);

// The character height (negative, as CreateFont takes it) of a font of `points` points.
int FontHeightForPoints(int points, unsigned dpi);

// A dpi the system reports, or 96 for none (0) or a value no monitor has.
unsigned UsableDpi(unsigned dpi);

}  // namespace kiv
