// Stand-ins for the components that are not built yet. Each answers as its component does
// when its service is unavailable, so the program around it runs unchanged.
#pragma once

#include <windows.h>

#include "Ports.h"

namespace kiv {

// The dial-up access component without its dialling: only whether the service library with
// its six entry points can be loaded.
class StandInRas : public RasPort {
public:
    StandInRas();
    ~StandInRas() override;
    bool ServiceError() const override { return library_ == nullptr; }
    int EntryCount() override { return ServiceError() ? -1 : 0; }
    std::string EntryName(int) override { return {}; }
    int EntryState(int) override { return -1; }
    int ActiveEntryCount() override { return ServiceError() ? -1 : 0; }
    std::string ConnectedEntryName(int) override { return {}; }
    bool Dial(int) override { return false; }
    bool CancelDial() override { return false; }
    bool HangUpConnection(int) override { return false; }
    int EntryStateByName(const std::string&) override { return ServiceError() ? -1 : 0; }
    void SetMonitoring(bool) override {}

private:
    HMODULE library_ = nullptr;
};

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

}  // namespace kiv
