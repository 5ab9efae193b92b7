// The program's deadlines on the system's tick: a message-only window whose one timer is set
// for the next deadline; when it fires, whatever is due runs, in the order of the deadlines.
// The main window's timers, the fades, the dial-up component's and KestrelMesh's timers all run
// on it (src/core/Deadlines.h).
#pragma once

#include <windows.h>

#include <optional>

#include "Deadlines.h"

namespace kiv {

class Win32Deadlines {
public:
    Win32Deadlines();
    ~Win32Deadlines();
    Win32Deadlines(const Win32Deadlines&) = delete;
    Win32Deadlines& operator=(const Win32Deadlines&) = delete;

    Deadlines& Timers() { return deadlines_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Wake(std::optional<std::uint64_t> next);
    std::uint64_t Tick();

    HWND window_ = nullptr;
    std::uint32_t lastTick_ = 0;
    std::uint64_t tickHigh_ = 0;
    Deadlines deadlines_;
};

}  // namespace kiv
