// The main window's decisions: start-up, shutdown and the state every other handler shares.
// The window itself lives in the Win32 layer and forwards its events here.
#pragma once

#include <cstdint>
#include <string>

#include "Ports.h"
#include "Settings.h"
#include "StringList.h"

namespace kiv {

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

struct TMainFormPorts {
    ApplicationPort& App;
    ClockPort& Clock;
    RasPort& Ras;
    MeshPort& KMS;
    VireoSubSetPort& VSS;
    TrayPort& Tray;
    StatusWindowPort& StatusWindow;
    TimerPort& tmSchedule;
    TimerPort& tmFeedOut;
    TimerPort& tmConnect;
};

class TMainForm {
public:
    explicit TMainForm(const TMainFormPorts& ports);
    virtual ~TMainForm() = default;

    void FormCreate();
    void FormDestroy();

    // Fills the placeholders of a status template and queues the message.
    void ShowStatus(const std::string& messageTemplate);
    // Shows the head of the queue.
    void DisplayNextStatus();
    // Tick of tmFeedOut (every 50 ms while a message is on screen): the close bar, and the
    // close of the head message when its time is up or others are waiting.
    void tmFeedOutTimer();
    // Click on the window or on its label: the head message closes now.
    void FormClick();
    // Click on the status icon: the head message's action, then its close.
    void imMainIconClick();
    void imMainIconMouseDown(TMouseButton button);
    void imMainIconMouseUp(TMouseButton button);

    // Handlers of the tray menu that the status icon's actions run.
    virtual void miTaskConnectClick() {}
    virtual void miTaskDeconnectClick() {}
    virtual void miTaskOptionClick() {}

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

    // Tags of the form and its controls.
    int Tag = 0;              // alpha the head message was faded in with; 0 = shown plainly
    int tmFeedOutTag = 0;     // lifetime of the head message in ms; -1 closes it at the next tick
    int imMainIconTag = 0;    // action code of the head message, 0..4
    bool imMainIconEnabled = false;
    int laStatusTag = 0;      // 1 when the close bar is drawn

    // FormCreate went past the remote access check, so there are settings and a tray icon.
    bool Created() const { return created_; }

private:
    std::string ComposeConnectionLine();
    void CloseStatus();
    void WaitForFadeEnd();

    TMainFormPorts ports_;
    bool created_ = false;
    bool closingStatus_ = false;  // the head message is being closed (a fade-out may be running)
};

}  // namespace kiv
