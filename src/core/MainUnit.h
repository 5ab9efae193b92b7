// The main window's decisions: start-up, shutdown and the state every other handler shares.
// The window itself lives in the Win32 layer and forwards its events here.
#pragma once

#include <cstdint>
#include <string>

#include "Ports.h"
#include "Settings.h"
#include "StringList.h"

namespace kiv {

struct TMainFormPorts {
    ApplicationPort& App;
    ClockPort& Clock;
    RasPort& Ras;
    MeshPort& KMS;
    VireoSubSetPort& VSS;
    TrayPort& Tray;
    StatusViewPort& StatusView;
    TimerPort& tmSchedule;
    TimerPort& tmFeedOut;
    TimerPort& tmConnect;
};

class TMainForm {
public:
    explicit TMainForm(const TMainFormPorts& ports);

    void FormCreate();
    void FormDestroy();

    // Fills the placeholders of a status template and queues the message.
    void ShowStatus(const std::string& messageTemplate);
    void DisplayNextStatus();

    // Phonebook index of the control target, -1 when there is none or it is not listed.
    int TargetEntryIndex();
    // Index of the control target in the connection list, -1 when it is not listed.
    int TargetConnectionIndex();

    // Program-wide state.
    std::string AppDir;
    double LastScheduleTick = 0;
    bool SkipAutoDisconnect = false;
    TSettings Settings;
    StringList AllowedComputers;

    // Fields of the form.
    bool ConnectRequested = false;
    bool CancelRequested = false;
    std::string RemoteMachineName;
    std::string RemoteDiscrimination;
    int RedialDone = 0;
    StringList StatusQueue;
    std::uint32_t StatusShownAt = 0;

    // FormCreate went past the remote access check, so there are settings and a tray icon.
    bool Created() const { return created_; }

private:
    std::string ComposeConnectionLine();

    TMainFormPorts ports_;
    bool created_ = false;
};

}  // namespace kiv
