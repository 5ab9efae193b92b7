#include "Win32Deadlines.h"

namespace kiv {

namespace {

constexpr wchar_t kClassName[] = L"TKivDeadlines";
constexpr UINT_PTR kTimerId = 1;

}  // namespace

Win32Deadlines::Win32Deadlines()
    : deadlines_([this] { return Tick(); }, [this](std::optional<std::uint64_t> next) { Wake(next); })
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);  // fails harmlessly when the class exists
    window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    if (window_)
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32Deadlines::~Win32Deadlines()
{
    if (window_) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
}

std::uint64_t Win32Deadlines::Tick()
{
    // The system's tick wraps after 49.7 days; the wraps are counted.
    const std::uint32_t tick = GetTickCount();
    if (tick < lastTick_)
        tickHigh_ += 0x100000000ull;
    lastTick_ = tick;
    return tickHigh_ + tick;
}

void Win32Deadlines::Wake(std::optional<std::uint64_t> next)
{
    if (!window_)
        return;
    if (!next) {
        KillTimer(window_, kTimerId);
        return;
    }
    const std::uint64_t now = deadlines_.Now();
    const std::uint64_t wait = *next > now ? *next - now : 0;
    // Setting the timer again replaces it; the system rounds a shorter wait up to its minimum.
    SetTimer(window_, kTimerId, static_cast<UINT>(wait < USER_TIMER_MAXIMUM ? wait : USER_TIMER_MAXIMUM), nullptr);
}

LRESULT CALLBACK Win32Deadlines::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<Win32Deadlines*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_TIMER && self) {
        self->deadlines_.RunDue();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace kiv
