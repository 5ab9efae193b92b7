#include "LayeredWindows.h"

namespace kiv {

namespace {

HWND ToHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }

}  // namespace

Win32LayeredWindows::Win32LayeredWindows(Deadlines& deadlines) : deadlines_(deadlines)
{
    deadlines_.SetHandler(TimerSpace::Fade, [this](int id) {
        if (target_)
            target_->Timer(static_cast<unsigned>(id));
    });
    user32_ = LoadLibraryA("USER32.DLL");
    if (user32_)
        setLayeredWindowAttributes_ = reinterpret_cast<SetLayeredWindowAttributesFn>(
            reinterpret_cast<void*>(GetProcAddress(user32_, "SetLayeredWindowAttributes")));
}

Win32LayeredWindows::~Win32LayeredWindows()
{
    deadlines_.Kill(TimerSpace::Fade, static_cast<int>(kFadeOutTimer));
    deadlines_.Kill(TimerSpace::Fade, static_cast<int>(kFadeInTimer));
    deadlines_.SetHandler(TimerSpace::Fade, nullptr);
    if (user32_)
        FreeLibrary(user32_);
}

std::uint32_t Win32LayeredWindows::GetExStyle(WindowHandle window)
{
    return static_cast<std::uint32_t>(GetWindowLongA(ToHwnd(window), GWL_EXSTYLE));
}

void Win32LayeredWindows::SetExStyle(WindowHandle window, std::uint32_t exStyle)
{
    SetWindowLongA(ToHwnd(window), GWL_EXSTYLE, static_cast<LONG>(exStyle));
}

bool Win32LayeredWindows::SetLayeredWindowAttributes(WindowHandle window, std::uint32_t colorKey,
                                                     std::uint8_t alpha, std::uint32_t flags)
{
    return setLayeredWindowAttributes_ && setLayeredWindowAttributes_(ToHwnd(window), colorKey, alpha, flags) != 0;
}

void Win32LayeredWindows::SetWindowPos(WindowHandle window, unsigned flags)
{
    ::SetWindowPos(ToHwnd(window), nullptr, 0, 0, 0, 0, flags);
}

void Win32LayeredWindows::RedrawWindow(WindowHandle window, unsigned flags)
{
    ::RedrawWindow(ToHwnd(window), nullptr, nullptr, flags);
}

unsigned Win32LayeredWindows::SetTimer(unsigned id, unsigned interval)
{
    deadlines_.Set(TimerSpace::Fade, static_cast<int>(id), interval);
    return id;
}

void Win32LayeredWindows::KillTimer(unsigned id) { deadlines_.Kill(TimerSpace::Fade, static_cast<int>(id)); }

}  // namespace kiv
