#include "WindowDpi.h"

#include "DpiScale.h"

namespace kiv::ui {

namespace {

// A function of a system library, null where the system has none.
template <class Function>
Function SystemFunction(const wchar_t* library, const char* name)
{
    HMODULE module = GetModuleHandleW(library);
    if (!module)
        module = LoadLibraryW(library);
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);

constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI

unsigned ScreenDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ReleaseDC(nullptr, screen);
    return UsableDpi(dpi > 0 ? static_cast<unsigned>(dpi) : 0);
}

}  // namespace

unsigned WindowDpi(HWND window)
{
    static const auto getDpiForWindow = SystemFunction<GetDpiForWindowFunction>(L"user32.dll", "GetDpiForWindow");
    if (getDpiForWindow && window)
        if (const UINT dpi = getDpiForWindow(window))
            return UsableDpi(dpi);
    return ScreenDpi();
}

unsigned PrimaryMonitorDpi()
{
    static const auto getDpiForMonitor = SystemFunction<GetDpiForMonitorFunction>(L"shcore.dll", "GetDpiForMonitor");
    UINT x = 0, y = 0;
    if (getDpiForMonitor &&
        getDpiForMonitor(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), kEffectiveDpi, &x, &y) == S_OK)
        return UsableDpi(y);
    return ScreenDpi();
}

RECT WindowRectForClient(int width, int height, DWORD style, DWORD exStyle, unsigned dpi)
{
    static const auto adjustForDpi =
        SystemFunction<AdjustWindowRectExForDpiFunction>(L"user32.dll", "AdjustWindowRectExForDpi");
    RECT r{0, 0, width, height};
    if (!adjustForDpi || !adjustForDpi(&r, style, FALSE, exStyle, dpi))
        AdjustWindowRectEx(&r, style, FALSE, exStyle);
    return RECT{0, 0, r.right - r.left, r.bottom - r.top};
}

int SystemMetricForDpi(int index, unsigned dpi)
{
    static const auto metricForDpi =
        SystemFunction<GetSystemMetricsForDpiFunction>(L"user32.dll", "GetSystemMetricsForDpi");
    return metricForDpi ? metricForDpi(index, dpi) : GetSystemMetrics(index);
}

}  // namespace kiv::ui
