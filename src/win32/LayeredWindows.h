// The window system under TVireoSubSet: SetLayeredWindowAttributes looked up in USER32.DLL at
// run time, the extended styles, and the fade timers on the program's deadlines.
#pragma once

#include <windows.h>

#include "Deadlines.h"
#include "VireoSubSet.h"

namespace kiv {

class Win32LayeredWindows : public LayeredWindowSystem {
public:
    explicit Win32LayeredWindows(Deadlines& deadlines);
    ~Win32LayeredWindows() override;
    Win32LayeredWindows(const Win32LayeredWindows&) = delete;
    Win32LayeredWindows& operator=(const Win32LayeredWindows&) = delete;

    // The component whose Timer receives the fade timers' ticks.
    void SetTarget(TVireoSubSet* target) { target_ = target; }

    bool HasSetLayeredWindowAttributes() const override { return setLayeredWindowAttributes_ != nullptr; }
    std::uint32_t GetExStyle(WindowHandle window) override;
    void SetExStyle(WindowHandle window, std::uint32_t exStyle) override;
    bool SetLayeredWindowAttributes(WindowHandle window, std::uint32_t colorKey, std::uint8_t alpha,
                                    std::uint32_t flags) override;
    void SetWindowPos(WindowHandle window, unsigned flags) override;
    void RedrawWindow(WindowHandle window, unsigned flags) override;
    unsigned SetTimer(unsigned id, unsigned interval) override;
    void KillTimer(unsigned id) override;

private:
    using SetLayeredWindowAttributesFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

    Deadlines& deadlines_;
    HMODULE user32_ = nullptr;
    SetLayeredWindowAttributesFn setLayeredWindowAttributes_ = nullptr;
    TVireoSubSet* target_ = nullptr;
};

}  // namespace kiv
