#include "LayeredWindows.h"

namespace kiv {

namespace {

constexpr wchar_t kHiddenClass[] = L"TVireoSubSetWindow";

HWND ToHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }

}  // namespace

Win32LayeredWindows::Win32LayeredWindows()
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = HiddenProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kHiddenClass;
    RegisterClassExW(&wc);  // fails harmlessly when the class exists
    hidden_ = CreateWindowExW(0, kHiddenClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    if (hidden_)
        SetWindowLongPtrW(hidden_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

    user32_ = LoadLibraryA("USER32.DLL");
    if (user32_)
        setLayeredWindowAttributes_ = reinterpret_cast<SetLayeredWindowAttributesFn>(
            reinterpret_cast<void*>(GetProcAddress(user32_, "SetLayeredWindowAttributes")));
}

Win32LayeredWindows::~Win32LayeredWindows()
{
    if (user32_)
        FreeLibrary(user32_);
    if (hidden_) {
        SetWindowLongPtrW(hidden_, GWLP_USERDATA, 0);
        DestroyWindow(hidden_);  // ends any fade timer
    }
}

LRESULT CALLBACK Win32LayeredWindows::HiddenProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<Win32LayeredWindows*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_TIMER && self) {
        if (self->target_)
            self->target_->Timer(static_cast<unsigned>(wParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
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
    if (!hidden_)
        return 0;
    return ::SetTimer(hidden_, id, interval, nullptr) ? id : 0;
}

void Win32LayeredWindows::KillTimer(unsigned id)
{
    if (hidden_)
        ::KillTimer(hidden_, id);
}

}  // namespace kiv
