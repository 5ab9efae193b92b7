#include "DpiScale.h"

namespace kiv {

namespace {

// The scalings Windows offers run from 100 % to 500 %.
constexpr unsigned kLowestDpi = 96;
constexpr unsigned kHighestDpi = 480;

}  // namespace

int ScaleToDpi(int value96, unsigned dpi)
{
    const long long product = static_cast<long long>(value96) * static_cast<long long>(dpi);
    const long long half = kDefaultDpi / 2;
    return static_cast<int>(product >= 0 ? (product + half) / kDefaultDpi : -((-product + half) / kDefaultDpi));
}

DialogRect ScaleRect(const DialogRect& r, unsigned dpi)
{
    const int left = ScaleToDpi(r.X, dpi), top = ScaleToDpi(r.Y, dpi);
    return {left, top, ScaleToDpi(r.X + r.Width, dpi) - left, ScaleToDpi(r.Y + r.Height, dpi) - top};
}

int FontHeightForPoints(int points, unsigned dpi)
{
    const long long product = static_cast<long long>(points) * dpi;
    return -static_cast<int>((product + 36) / 72);
}

unsigned UsableDpi(unsigned dpi) { return dpi >= kLowestDpi && dpi <= kHighestDpi ? dpi : kDefaultDpi; }

}  // namespace kiv
