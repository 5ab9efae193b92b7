// Stand-ins for the components that are not built yet. Each answers as its component does
// when its service is unavailable, so the program around it runs unchanged.
#pragma once

#include <windows.h>

#include "Ports.h"

namespace kiv {

// The peer component before its transport exists: it cannot start.
class StandInMesh : public MeshPort {
public:
    int PortNo() const override { return port_; }
    void SetPortNo(int port) override { port_ = port; }
    std::string HandleName() const override { return handleName_; }
    void SetHandleName(const std::string& name) override { handleName_ = name; }
    bool Start() override { return false; }
    void Stop() override {}
    bool Login() override { return false; }
    bool Logout() override { return false; }
    bool SendInputSelect(const std::string&, const std::string&, const std::string&, const std::string&,
                         const std::string&, const std::string&) override { return false; }
    bool SendInputLine(const std::string&, const std::string&, const std::string&, const std::string&,
                       const std::string&, bool) override { return false; }
    bool SendInputMessage(const std::string&, const std::string&, const std::string&) override { return false; }

private:
    int port_ = 51000;
    std::string handleName_;
};

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
