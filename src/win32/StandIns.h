// Stand-ins for the components that are not built yet. Each answers as its component does
// when its service is unavailable, so the program around it runs unchanged.
#pragma once

#include <windows.h>

#include "Ports.h"

namespace kiv {

// The window-effects component's INI helpers, and whether layered windows exist.
class StandInVireoSubSet : public VireoSubSetPort {
public:
    bool UseSetLayeredWindow() const override
    {
        return GetProcAddress(GetModuleHandleA("USER32.DLL"), "SetLayeredWindowAttributes") != nullptr;
    }
    void SetSetLayeredWindowEvent(bool) override {}
};

// The status window before it can draw: messages are queued and dropped.
class StandInStatusView : public StatusViewPort {
public:
    void Show(const std::string&) override {}
};

}  // namespace kiv
