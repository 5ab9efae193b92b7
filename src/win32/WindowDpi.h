// What the system says of dpi: a window's, the primary monitor's, and the sizes it measures at a
// dpi. The per-monitor functions (Windows 10, version 1607 on) are looked up at run time; before
// them every window has the system's dpi, which the screen's device context reports.
#pragma once

#include <windows.h>

namespace kiv::ui {

// WM_DPICHANGED (Windows 8.1 on; the program builds for every Windows from XP): the window went
// to a monitor of another dpi, or its monitor's dpi changed. wParam holds the new dpi; lParam
// points to the window rectangle the system suggests.
inline constexpr UINT kWmDpiChanged = 0x02E0;

// The dpi of the monitor the window is on (96 at 100 %).
unsigned WindowDpi(HWND window);
// The dpi of the primary monitor, where the program's windows are made.
unsigned PrimaryMonitorDpi();
// The window rectangle, at 0,0, around a client area of width x height at dpi.
RECT WindowRectForClient(int width, int height, DWORD style, DWORD exStyle, unsigned dpi);
// A system metric (GetSystemMetrics' index) at dpi.
int SystemMetricForDpi(int index, unsigned dpi);

}  // namespace kiv::ui
