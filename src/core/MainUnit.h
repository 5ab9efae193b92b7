// The main window's decisions: start-up, shutdown and the state every other handler shares.
// The window itself lives in the Win32 layer and forwards its events here.
#pragma once

#include <cstdint>
#include <string>

#include "Ports.h"
#include "Settings.h"
#include "StringList.h"
#include "TrayMenu.h"

namespace kiv {

struct OptionControls;

// Asks the system to shut down; true when the request was accepted.
class ShutdownPort {
public:
    virtual ~ShutdownPort() = default;
    virtual bool ShutdownWindows() = 0;
};

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
    ShutdownPort& Shutdown;
};

class TMainForm {
public:
    explicit TMainForm(const TMainFormPorts& ports);

    void FormCreate();
    void FormDestroy();

    // Fills the placeholders of a status template and queues the message.
    void ShowStatus(const std::string& messageTemplate);
    void DisplayNextStatus();

    // Dial-up control: the connect and disconnect commands, the pending redial, the dial-up
    // layer's completion events and the keep-alive redial after a drop.
    void miTaskConnectClick();
    void miTaskDeconnectClick();
    void tmConnectTimer();
    void RasConnect(const std::string& dialName);
    void RasConnectError(const std::string& dialName);
    void KeepAliveCheck();

    // Tray icon: a double click shows the target's state unless a message is on screen; the
    // popup menu's state is built anew on every popup; a target chosen in its submenu is
    // written at once.
    void TrayDoubleClick();
    TaskMenuState pmTaskMenuPopup();
    void miTaskTargetChildClick(const std::string& caption);

    // The daily schedule, once a second.
    void tmScheduleTimer();
    bool ShutdownWindows() { return ports_.Shutdown.ShutdownWindows(); }

    // The options dialog's apply once its checks have passed (OptionApply.cpp): the schedule
    // stopped, the controls and the working list copied, KestrelMesh logged in or out, the file
    // saved, the schedule restarted.
    void ApplyOptions(const OptionControls& controls, const StringList& workingList);

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
    // Hangs up the target's connection; on success shows successMessage, on failure (the
    // target not connected counts as one) reports it while the line is still up and keeps it.
    bool HangUpTarget(const char* successMessage);
    // HangUpConnection of the target's connection; false when it is not connected.
    bool HangUpTargetConnection();
    // The target is still dialling or connected.
    bool TargetStillUp();
    void ScheduleRedial();
    void TellRemoteConsole(const std::string& text);
    void ScheduledDisconnect();

    TMainFormPorts ports_;
    bool created_ = false;
    bool scheduleRunning_ = false;
};

}  // namespace kiv
